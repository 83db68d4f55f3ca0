#include "ui/page_layout.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace zel {
namespace {

// Roughly Arial's metrics: an average letter half as wide as the font's
// size, lines 1.15 times as high; words wrap whole.
class ArialLikeMeasure : public TextMeasure {
  public:
    int TextHeight(const std::string& text, const PageTextStyle& style, int width) const override {
        const double letter = style.pixelSize * (style.bold ? 0.56 : 0.5);
        const int lineHeight = (style.pixelSize * 115 + 99) / 100;
        int lines = 1;
        double used = 0;
        std::istringstream words(text);
        for (std::string word; words >> word;) {
            const double needed = (word.size() + (used > 0 ? 1 : 0)) * letter;
            if (used > 0 && used + needed > width) {
                ++lines;
                used = word.size() * letter;
            } else {
                used += needed;
            }
        }
        return lines * lineHeight;
    }
};

PageContent InstallationPage() {
    std::ifstream in(ZEL_RESOURCE_DIR "/page/installation.html", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    PageContent content;
    EXPECT_TRUE(ReadPageContent(text.str(), content));
    return content;
}

bool Inside(const PageBox& box, const PageBox& area) {
    return box.x >= area.x && box.y >= area.y && box.Right() <= area.Right() &&
           box.Bottom() <= area.Bottom();
}

TEST(PageLayoutTest, EverySectionOfThePageFitsThePanel) {
    const PageContent content = InstallationPage();
    ASSERT_EQ(content.sections.size(), 6u);
    const PageBox panel{0, 0, kPageWidth, kPageHeight};
    for (const PageSection& section : content.sections) {
        const PageLayout layout = LayOutPage(content, section, ArialLikeMeasure());
        for (const PlacedText& text : layout.texts) {
            EXPECT_TRUE(Inside(text.box, panel)) << section.id << ": " << text.text;
        }
        for (const PlacedPicture& picture : layout.pictures) {
            EXPECT_TRUE(Inside(picture.box, panel)) << section.id << ": " << picture.name;
        }
    }
}

TEST(PageLayoutTest, SectionFollowsTheHeaderWithItsPictureAndOneTickPerBulletRow) {
    const PageContent content = InstallationPage();
    const PageSection& clean = *content.FindSection("Clean");
    const PageLayout layout = LayOutPage(content, clean, ArialLikeMeasure());

    ASSERT_EQ(layout.pictures.size(), 2u + clean.bullets.size());
    EXPECT_EQ(layout.pictures[0].name, "header.jpg");
    EXPECT_EQ(layout.pictures[1].name, "Clean.jpg");
    EXPECT_EQ(layout.pictures[1].box.y, kHeaderHeight);
    // Header lines, heading, text, sub-heading, then the bullets, downwards.
    ASSERT_EQ(layout.texts.size(), 5u + clean.bullets.size());
    EXPECT_EQ(layout.texts[0].text, "Installation in progress");
    EXPECT_EQ(layout.texts[0].box.y, 30);
    EXPECT_EQ(layout.texts[2].text, clean.heading);
    EXPECT_EQ(layout.texts[2].box.x, 270);
    EXPECT_EQ(layout.texts[2].box.y, kHeaderHeight + 15);
    for (size_t i = 1; i < layout.texts.size(); ++i) {
        EXPECT_GE(layout.texts[i].box.y, layout.texts[i - 1].box.Bottom()) << i;
    }
    for (size_t row = 0; row < clean.bullets.size(); ++row) {
        const PlacedPicture& tick = layout.pictures[2 + row];
        const PlacedText& bullet = layout.texts[5 + row];
        EXPECT_EQ(tick.name, "greenTick.jpg");
        EXPECT_EQ(tick.box.y, bullet.box.y);
        EXPECT_EQ(bullet.text, clean.bullets[row]);
        EXPECT_GT(bullet.box.x, tick.box.Right());
    }

    // The section without a sub-heading starts its heading higher.
    const PageLayout smart = LayOutPage(content, *content.FindSection("Smart"), ArialLikeMeasure());
    EXPECT_EQ(smart.texts[2].box.y, kHeaderHeight + 8);
}

}  // namespace
}  // namespace zel
