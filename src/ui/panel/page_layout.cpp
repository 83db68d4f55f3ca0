#include "ui/panel/page_layout.h"

#include <algorithm>

namespace zel {

namespace {

// The page's stylesheet, in pixels.
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kHeadingBlue = 0x054363;
constexpr std::uint32_t kTextGrey = 0x383838;

constexpr int kHeaderTextLeft = 30;
constexpr int kHeaderTextTop = 30;
constexpr PageTextStyle kHeaderTextStyle{26, false, kBlack};
constexpr PageTextStyle kHeaderSmallTextStyle{14, false, kBlack};

constexpr int kSectionPictureWidth = 328;
constexpr int kContentHeight = kPageHeight - kHeaderHeight;
constexpr int kHeadingLeft = 270;
constexpr int kHeadingTop = 15;
constexpr int kHeadingTopWithoutSubHeading = 8;  // bmHeading
constexpr PageTextStyle kHeadingStyle{18, true, kHeadingBlue};
constexpr int kTextLeft = 270;
constexpr int kTextTop = 10;
constexpr int kTextWidth = 325;
constexpr PageTextStyle kTextStyle{14, false, kTextGrey};
constexpr int kSubHeadingLeft = 330;
constexpr int kSubHeadingTop = 40;
constexpr PageTextStyle kSubHeadingStyle{15, true, kHeadingBlue};
constexpr int kBulletLeft = 332;
constexpr int kBulletTop = 10;
constexpr int kTickSize = 15;
constexpr int kBulletTextGap = 10;
constexpr PageTextStyle kBulletStyle{14, false, kTextGrey};

class Column {
  public:
    Column(const TextMeasure& measure, PageLayout& layout) : measure_(measure), layout_(layout) {}

    // Places a text `top` pixels below the last one, at `left`, wrapping at
    // `width` (at most to the page's right edge).
    int Add(const std::string& text, const PageTextStyle& style, int left, int top, int width) {
        if (text.empty()) return bottom_;
        PlacedText placed{text, style, {}};
        placed.box.x = left;
        placed.box.y = bottom_ + top;
        placed.box.width = std::min(width, kPageWidth - left);
        placed.box.height = measure_.TextHeight(text, style, placed.box.width);
        bottom_ = placed.box.Bottom();
        layout_.texts.push_back(placed);
        return bottom_;
    }

    void MoveTo(int y) { bottom_ = y; }
    int Bottom() const { return bottom_; }

  private:
    const TextMeasure& measure_;
    PageLayout& layout_;
    int bottom_ = 0;
};

}  // namespace

PageLayout LayOutPage(const PageContent& content, const PageSection& section,
                      const TextMeasure& measure) {
    PageLayout layout;
    layout.pictures.push_back({kHeaderPicture, {0, 0, kPageWidth, kHeaderHeight}});
    layout.pictures.push_back(
        {section.id + ".jpg", {0, kHeaderHeight, kSectionPictureWidth, kContentHeight}});

    Column column(measure, layout);
    const int headerWidth = kPageWidth - 2 * kHeaderTextLeft;
    column.Add(content.headerText, kHeaderTextStyle, kHeaderTextLeft, kHeaderTextTop, headerWidth);
    column.Add(content.headerSmallText, kHeaderSmallTextStyle, kHeaderTextLeft, 0, headerWidth);

    column.MoveTo(kHeaderHeight);
    const int headingTop =
        section.headingClass == "bmHeading" ? kHeadingTopWithoutSubHeading : kHeadingTop;
    column.Add(section.heading, kHeadingStyle, kHeadingLeft, headingTop, kPageWidth);
    column.Add(section.text, kTextStyle, kTextLeft, kTextTop, kTextWidth);
    column.Add(section.subHeading, kSubHeadingStyle, kSubHeadingLeft, kSubHeadingTop, kPageWidth);

    const int textLeft = kBulletLeft + kTickSize + kBulletTextGap;
    for (const std::string& bullet : section.bullets) {
        const int rowTop = column.Bottom() + kBulletTop;
        if (!content.tickPicture.empty()) {
            layout.pictures.push_back(
                {content.tickPicture, {kBulletLeft, rowTop, kTickSize, kTickSize}});
        }
        column.Add(bullet, kBulletStyle, textLeft, kBulletTop, kPageWidth);
        column.MoveTo(std::max(column.Bottom(), rowTop + kTickSize));
    }
    return layout;
}

}  // namespace zel
