// Where each part of the installation page lies in the 641 x 422 panel, for
// drawing the page without an HTML engine. The places follow the page's own
// stylesheet: the header picture with its two lines, then the section's
// picture at the left of the content area, its heading, text, sub-heading
// and bullet rows at the stylesheet's margins. Text heights come from the
// caller, who knows the fonts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/panel/page_content.h"

namespace zel {

constexpr int kPageWidth = 641;
constexpr int kPageHeight = 422;
constexpr int kHeaderHeight = 105;
constexpr char kHeaderPicture[] = "header.jpg";

struct PageBox {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int Right() const { return x + width; }
    int Bottom() const { return y + height; }
};

struct PageTextStyle {
    int pixelSize = 14;
    bool bold = false;
    std::uint32_t color = 0x383838;  // 0xRRGGBB
};

struct PlacedText {
    std::string text;
    PageTextStyle style;
    PageBox box;  // the text wraps within the box's width
};

struct PlacedPicture {
    std::string name;  // as the page names it, e.g. "Home.jpg"
    PageBox box;
};

struct PageLayout {
    std::vector<PlacedPicture> pictures;  // drawn first, in order
    std::vector<PlacedText> texts;
};

class TextMeasure {
  public:
    // The height the text takes when wrapped within `width` pixels.
    virtual int TextHeight(const std::string& text, const PageTextStyle& style,
                           int width) const = 0;

  protected:
    ~TextMeasure() = default;
};

// The page with `section` in its content area.
PageLayout LayOutPage(const PageContent& content, const PageSection& section,
                      const TextMeasure& measure);

}  // namespace zel
