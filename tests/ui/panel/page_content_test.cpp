#include "ui/panel/page_content.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace zel {
namespace {

std::string ReadInstallationPage() {
    std::ifstream in(ZEL_RESOURCE_DIR "/page/installation.html", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(PageContentTest, TheInstallationPageGivesItsHeaderAndSixSections) {
    PageContent content;
    ASSERT_TRUE(ReadPageContent(ReadInstallationPage(), content));
    EXPECT_EQ(content.headerText, "Installation in progress");
    EXPECT_EQ(content.headerSmallText, "Please wait while setup downloads and installs Corvanta 3");
    EXPECT_EQ(content.tickPicture, "greenTick.jpg");

    const struct {
        const char* id;
        size_t bullets;
    } kExpected[] = {{"Home", 5},    {"Optimize", 5}, {"Clean", 4},
                     {"Protect", 4}, {"Recover", 3},  {"Smart", 7}};
    ASSERT_EQ(content.sections.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        const PageSection& section = content.sections[i];
        EXPECT_EQ(section.id, kExpected[i].id);
        EXPECT_EQ(section.bullets.size(), kExpected[i].bullets) << section.id;
        EXPECT_FALSE(section.heading.empty()) << section.id;
        EXPECT_FALSE(section.text.empty()) << section.id;
        for (const std::string& bullet : section.bullets) EXPECT_FALSE(bullet.empty());
        const bool smart = section.id == "Smart";
        EXPECT_EQ(section.headingClass, smart ? "bmHeading" : "bHeading");
        EXPECT_EQ(section.subHeading.empty(), smart) << section.id;
    }
    EXPECT_EQ(content.FindSection("Recover"), &content.sections[4]);
    EXPECT_EQ(content.FindSection("recover"), nullptr);
}

TEST(PageContentTest, ReadsEitherQuoteEntitiesAndCollapsesWhiteSpace) {
    const char* page =
        "<html><body><div class='Header'><p id=\"h\" class = 'HeaderTxt'>  Installing\n   now "
        "</p></div>"
        "<div title=\"a b\" class=\"MiddleContentDiv\" id='Clean'>"
        "<p class=\"bHeading\">Clean &amp; tidy</p><p class=\"nText\">One\ttwo</p>"
        "<div class=\"PointsDiv\"><p class=\"Tick\"><img alt=\"\" src=\"t.jpg\"/></p>"
        "<p class=\"Points\">First</p></div>"
        "</div></body></html>";
    PageContent content;
    ASSERT_TRUE(ReadPageContent(page, content));
    EXPECT_EQ(content.headerText, "Installing now");
    EXPECT_EQ(content.tickPicture, "t.jpg");
    ASSERT_EQ(content.sections.size(), 1u);
    EXPECT_EQ(content.sections[0].id, "Clean");
    EXPECT_EQ(content.sections[0].heading, "Clean & tidy");
    EXPECT_EQ(content.sections[0].text, "One two");
    EXPECT_EQ(content.sections[0].bullets, std::vector<std::string>{"First"});
}

TEST(PageContentTest, RefusesBrokenMarkupAndPagesWithoutSections) {
    PageContent content;
    EXPECT_FALSE(
        ReadPageContent("<html><body><div class=\"MiddleContentDiv\" id=\"Home\">"
                        "<p class=\"bHeading\">Home</div></body></html>",
                        content));
    EXPECT_TRUE(content.sections.empty());
    EXPECT_FALSE(
        ReadPageContent("<html><body><p class=\"HeaderTxt\">Hi</p></body></html>", content));
    EXPECT_TRUE(content.headerText.empty());
    EXPECT_FALSE(ReadPageContent("", content));
}

}  // namespace
}  // namespace zel
