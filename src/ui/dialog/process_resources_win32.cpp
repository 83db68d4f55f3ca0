#include <windows.h>
// gdiplus.h needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out
// of windows.h.
#include <objidl.h>
// Only after those.
#include <gdiplus.h>

#include <cstring>

#include "ui/dialog/process_resources.h"

namespace zel {

namespace handle_traits {
void GdiplusToken::Free(ULONG_PTR token) {
    Gdiplus::GdiplusShutdown(token);
}
}  // namespace handle_traits

namespace {

constexpr const char* kBringToFrontText = "It will bring ZEL Downloader in front if minimized";

ScopedGdiplus StartGdiplus(LibraryModule& library) {
    if (!library.Load(kGdiplusLibrary)) return ScopedGdiplus();
    // Version 1, no debug callback, GDI+ keeps its own background thread.
    Gdiplus::GdiplusStartupInput input(nullptr, FALSE, FALSE);
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return ScopedGdiplus();
    return ScopedGdiplus(token);
}

}  // namespace

ProcessResources::ProcessResources()
    : bringToFrontMessage_(RegisterWindowMessageA(kBringToFrontText)),
      gdiplus_(StartGdiplus(gdiplusLibrary_)),
      whiteBrush_(CreateSolidBrush(RGB(255, 255, 255))) {}

HFONT ProcessResources::StatusFont() {
    if (!statusFont_) {
        LOGFONTA font{};
        font.lfHeight = -11;
        font.lfWeight = FW_NORMAL;
        font.lfCharSet = ANSI_CHARSET;
        font.lfQuality = CLEARTYPE_QUALITY;
        std::strcpy(font.lfFaceName, "Tahoma");
        statusFont_.Reset(CreateFontIndirectA(&font));
    }
    return statusFont_.Get();
}

}  // namespace zel
