// gdiplus.h needs the COM headers that WIN32_LEAN_AND_MEAN leaves out.
// clang-format off
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
// clang-format on

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>

#include "sys/win32_handles.h"
#include "ui/panel/page_painter.h"
#include "ui/panel/page_resources.h"
#include "ui/panel/wide_text.h"

namespace zel {

namespace {

struct GlobalMemoryTraits {
    using Handle = HGLOBAL;
    static Handle Empty() { return nullptr; }
    static void Free(Handle memory) { GlobalFree(memory); }
};
using ScopedGlobalMemory = ScopedHandle<GlobalMemoryTraits>;

// Resource names are compared without regard to case, as the res: protocol
// finds them.
std::string PictureKey(const std::string& name) {
    std::string key = name;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return key;
}

// Decodes a picture completely, so that nothing refers to its stream later.
std::unique_ptr<Gdiplus::Bitmap> DecodePicture(const std::string& bytes) {
    ScopedGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
    if (!memory) return nullptr;
    void* target = GlobalLock(memory.Get());
    if (!target) return nullptr;
    std::copy(bytes.begin(), bytes.end(), static_cast<char*>(target));
    GlobalUnlock(memory.Get());
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(memory.Get(), TRUE, stream.Receive()))) return nullptr;
    memory.Release();  // the stream frees it now

    Gdiplus::Bitmap encoded(stream.Get());
    if (encoded.GetLastStatus() != Gdiplus::Ok) return nullptr;
    const int width = int(encoded.GetWidth());
    const int height = int(encoded.GetHeight());
    auto decoded = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppARGB);
    if (decoded->GetLastStatus() != Gdiplus::Ok) return nullptr;
    Gdiplus::Graphics graphics(decoded.get());
    if (graphics.DrawImage(&encoded, 0, 0, width, height) != Gdiplus::Ok) return nullptr;
    return decoded;
}

Gdiplus::Color ColorOf(std::uint32_t rgb) {
    return Gdiplus::Color(255, BYTE(rgb >> 16), BYTE(rgb >> 8), BYTE(rgb));
}

}  // namespace

// What the painter draws with: the page's texts, its decoded pictures and
// the font family, read once.
class CPagePainter::Parts final : public TextMeasure {
  public:
    // Reads the page and its pictures; false when the page cannot be had.
    bool Load(const std::vector<std::string>& fontFamilies) {
        std::string page;
        if (!LoadInstallationPage(page) || !ReadPageContent(page, content_)) return false;
        format_ =
            std::make_unique<Gdiplus::StringFormat>(Gdiplus::StringFormat::GenericTypographic());
        measuringSurface_ = std::make_unique<Gdiplus::Bitmap>(1, 1, PixelFormat32bppARGB);
        ChooseFont(fontFamilies);
        LoadPicture(kHeaderPicture);
        LoadPicture(content_.tickPicture);
        for (const PageSection& section : content_.sections) LoadPicture(section.id + ".jpg");
        return true;
    }

    const PageContent& Content() const { return content_; }
    const std::string& FamilyName() const { return familyName_; }
    const Gdiplus::StringFormat* Format() const { return format_.get(); }

    std::unique_ptr<Gdiplus::Font> FontFor(const PageTextStyle& style) const {
        if (!family_) return nullptr;
        auto font = std::make_unique<Gdiplus::Font>(
            family_.get(), Gdiplus::REAL(style.pixelSize),
            style.bold ? Gdiplus::FontStyleBold : Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
        if (font->GetLastStatus() != Gdiplus::Ok) return nullptr;
        return font;
    }

    int TextHeight(const std::string& text, const PageTextStyle& style, int width) const override {
        std::unique_ptr<Gdiplus::Font> font = FontFor(style);
        if (!font || !measuringSurface_) return 0;
        Gdiplus::Graphics graphics(measuringSurface_.get());
        const std::wstring wide = WidenText(text);
        Gdiplus::RectF bounds;
        graphics.MeasureString(wide.c_str(), INT(wide.size()), font.get(),
                               Gdiplus::RectF(0, 0, Gdiplus::REAL(width), 10000), format_.get(),
                               &bounds);
        return int(std::ceil(bounds.Height));
    }

    const Gdiplus::Bitmap* Picture(const std::string& name) const {
        const auto found = pictures_.find(PictureKey(name));
        return found == pictures_.end() ? nullptr : found->second.get();
    }

  private:
    void LoadPicture(const std::string& name) {
        std::string bytes;
        if (name.empty() || Picture(name) || !LoadPageFile(name, bytes)) return;
        std::unique_ptr<Gdiplus::Bitmap> picture = DecodePicture(bytes);
        if (picture) pictures_[PictureKey(name)] = std::move(picture);
    }

    void ChooseFont(const std::vector<std::string>& families) {
        for (const std::string& name : families) {
            auto candidate = std::make_unique<Gdiplus::FontFamily>(WidenText(name).c_str());
            if (candidate->GetLastStatus() == Gdiplus::Ok && candidate->IsAvailable()) {
                family_ = std::move(candidate);
                familyName_ = name;
                return;
            }
        }
    }

    PageContent content_;
    std::map<std::string, std::unique_ptr<Gdiplus::Bitmap>> pictures_;  // by PictureKey
    std::unique_ptr<Gdiplus::FontFamily> family_;
    std::string familyName_;
    std::unique_ptr<Gdiplus::StringFormat> format_;
    std::unique_ptr<Gdiplus::Bitmap> measuringSurface_;
};

std::vector<std::string> CPagePainter::DefaultFontFamilies() {
    return {"Segoe UI", "Arial", "Tahoma", "Microsoft Sans Serif"};
}

std::unique_ptr<CPagePainter> CPagePainter::FromResources(
    const GdiplusSession& gdiplus, const std::vector<std::string>& fontFamilies) {
    if (!gdiplus.IsRunning()) return nullptr;
    auto parts = std::make_unique<Parts>();
    if (!parts->Load(fontFamilies)) return nullptr;
    return std::unique_ptr<CPagePainter>(new CPagePainter(std::move(parts)));
}

CPagePainter::CPagePainter(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}

CPagePainter::~CPagePainter() = default;

const PageContent& CPagePainter::Content() const {
    return parts_->Content();
}

std::string CPagePainter::FontFamilyName() const {
    return parts_->FamilyName();
}

PageLayout CPagePainter::LayOut(const PageSection& section) const {
    return LayOutPage(parts_->Content(), section, *parts_);
}

bool CPagePainter::Paint(HDC dc, const std::string& sectionId) const {
    Gdiplus::Bitmap canvas(kPageWidth, kPageHeight, PixelFormat32bppARGB);
    if (canvas.GetLastStatus() != Gdiplus::Ok) return false;
    Gdiplus::Graphics graphics(&canvas);
    graphics.Clear(Gdiplus::Color(255, 255, 255, 255));
    const PageSection* section = parts_->Content().FindSection(sectionId);
    if (section) {
        graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
        const PageLayout layout = LayOut(*section);
        for (const PlacedPicture& placed : layout.pictures) {
            const Gdiplus::Bitmap* picture = parts_->Picture(placed.name);
            if (!picture) continue;
            graphics.DrawImage(const_cast<Gdiplus::Bitmap*>(picture), placed.box.x, placed.box.y,
                               placed.box.width, placed.box.height);
        }
        for (const PlacedText& placed : layout.texts) {
            std::unique_ptr<Gdiplus::Font> font = parts_->FontFor(placed.style);
            if (!font) continue;
            const std::wstring wide = WidenText(placed.text);
            Gdiplus::SolidBrush brush(ColorOf(placed.style.color));
            const Gdiplus::RectF box(Gdiplus::REAL(placed.box.x), Gdiplus::REAL(placed.box.y),
                                     Gdiplus::REAL(placed.box.width),
                                     Gdiplus::REAL(placed.box.height + 1));
            graphics.DrawString(wide.c_str(), INT(wide.size()), font.get(), box, parts_->Format(),
                                &brush);
        }
    }
    Gdiplus::Graphics target(dc);
    const bool drawn = target.DrawImage(&canvas, 0, 0, kPageWidth, kPageHeight) == Gdiplus::Ok;
    return drawn && section;
}

}  // namespace zel
