#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "ui/panel/page_content.h"
#include "ui/panel/page_resources.h"

namespace zel {
namespace {

std::string SourceFile(const std::string& name) {
    std::ifstream in(ZEL_RESOURCE_DIR "/page/" + name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Relative names in attributes (href, src) and in url(...) of a page or a
// stylesheet.
std::set<std::string> NamesUsedIn(const std::string& text) {
    std::set<std::string> names;
    const std::regex reference(R"re((?:href|src)\s*=\s*"([^"]+)"|url\(\s*'?([^'")]+)'?\s*\))re");
    for (std::sregex_iterator it(text.begin(), text.end(), reference), end; it != end; ++it) {
        names.insert((*it)[1].matched ? (*it)[1].str() : (*it)[2].str());
    }
    return names;
}

TEST(PageResourcesTest, EveryNameThePageUsesFindsItsFileAsTheResProtocolDoes) {
    std::string page;
    ASSERT_TRUE(LoadInstallationPage(page));
    EXPECT_EQ(page, SourceFile("installation.html"));

    std::set<std::string> names = NamesUsedIn(page);
    EXPECT_TRUE(names.count("reset.css") && names.count("ZEL.css") && names.count("greenTick.jpg"));
    // The page's script names each section's picture after the section.
    PageContent content;
    ASSERT_TRUE(ReadPageContent(page, content));
    for (const PageSection& section : content.sections) names.insert(section.id + ".jpg");
    for (const char* stylesheet : {"reset.css", "ZEL.css"}) {
        std::string css;
        ASSERT_TRUE(LoadPageFile(stylesheet, css));
        for (const std::string& name : NamesUsedIn(css)) names.insert(name);
    }
    EXPECT_TRUE(names.count("header.jpg"));

    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(name.find_first_of(":/\\"), std::string::npos);  // the page's own files only
        std::string stored;
        ASSERT_TRUE(LoadPageFile(name, stored));
        EXPECT_EQ(stored, SourceFile(name));
    }
    EXPECT_EQ(names.size(), 10u);  // 2 stylesheets, the header, 6 sections and the tick
}

TEST(PageResourcesTest, NamesFindNothingElse) {
    std::string bytes;
    EXPECT_FALSE(LoadPageFile("missing.jpg", bytes));
    EXPECT_FALSE(LoadPageFile("", bytes));
    EXPECT_FALSE(LoadPageFile("#103", bytes));
}

}  // namespace
}  // namespace zel
