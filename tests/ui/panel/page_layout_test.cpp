#include "ui/panel/page_layout.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace zel {
namespace {

// Every text one line of 1.2 times its size.
class OneLineMeasure : public TextMeasure {
  public:
    int TextHeight(const std::string&, const PageTextStyle& style, int) const override {
        return style.pixelSize * 6 / 5;
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

TEST(PageLayoutTest, SectionFollowsTheHeaderWithItsPictureAndOneTickPerBulletRow) {
    const PageContent content = InstallationPage();
    const PageSection& clean = *content.FindSection("Clean");
    const PageLayout layout = LayOutPage(content, clean, OneLineMeasure());

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
    const PageLayout smart = LayOutPage(content, *content.FindSection("Smart"), OneLineMeasure());
    EXPECT_EQ(smart.texts[2].box.y, kHeaderHeight + 8);
}

}  // namespace
}  // namespace zel
