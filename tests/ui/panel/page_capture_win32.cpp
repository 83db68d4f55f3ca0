// gdiplus.h needs the COM headers that WIN32_LEAN_AND_MEAN leaves out.
// clang-format off
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
// clang-format on

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "ui/gdiplus_session.h"
#include "ui/panel/page_capture.h"
#include "ui/panel/page_layout.h"
#include "ui/panel/wide_text.h"

namespace zel {

namespace {

bool FindPngEncoder(CLSID& encoder) {
    UINT count = 0;
    UINT size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<char> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(codecs[i].MimeType) == L"image/png") {
            encoder = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

std::string ScreenshotFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    folder = folder.substr(0, folder.find_last_of('\\'));  // tests
    folder = folder.substr(0, folder.find_last_of('\\'));  // the build folder
    folder += "\\panel-screenshots";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

}  // namespace

PageCapture::PageCapture() : width_(kPageWidth), height_(kPageHeight) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bits_ = static_cast<std::uint32_t*>(bits);
    dc_.Reset(CreateCompatibleDC(nullptr));
    SelectObject(dc_.Get(), bitmap_.Get());
    Fill(0xFF00FF);
}

std::uint32_t PageCapture::Pixel(int x, int y) const {
    GdiFlush();
    return bits_[size_t(y) * size_t(width_) + size_t(x)] & 0xFFFFFF;
}

void PageCapture::Fill(std::uint32_t rgb) {
    GdiFlush();
    for (int i = 0; i < width_ * height_; ++i) bits_[i] = rgb;
}

int PageCapture::CountInked(int left, int top, int right, int bottom) const {
    int inked = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const std::uint32_t p = Pixel(x, y);
            const int darkest = std::min({int(p >> 16), int((p >> 8) & 0xFF), int(p & 0xFF)});
            if (darkest < 200) ++inked;
        }
    }
    return inked;
}

double PageCapture::MeanDifference(const PageCapture& other, int left, int top, int right,
                                   int bottom) const {
    double sum = 0;
    long count = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const std::uint32_t a = Pixel(x, y);
            const std::uint32_t b = other.Pixel(x, y);
            for (int shift : {0, 8, 16}) {
                sum += std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
                ++count;
            }
        }
    }
    return count ? sum / double(count) : 0;
}

bool PageCapture::SavePng(const std::string& name) const {
    GdiFlush();
    const GdiplusSession gdiplus;
    if (!gdiplus.IsRunning()) return false;
    CLSID png;
    Gdiplus::Bitmap picture(width_, height_, width_ * 4, PixelFormat32bppRGB,
                            reinterpret_cast<BYTE*>(bits_));
    const std::wstring path = WidenText(ScreenshotFolder() + "\\" + name + ".png");
    return FindPngEncoder(png) && picture.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

}  // namespace zel
