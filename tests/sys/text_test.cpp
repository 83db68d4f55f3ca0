#include "sys/text.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(TextTest, TrimRemovesWhiteSpaceAtBothEndsOnly) {
    EXPECT_EQ(TrimWhiteSpace(" \t C:|A B|\r\n"), "C:|A B|");
    EXPECT_EQ(TrimWhiteSpace(" \t "), "");
    EXPECT_EQ(TrimWhiteSpace(""), "");
    EXPECT_EQ(TrimWhiteSpace("\v\fkey\f\v"), "key");
}

TEST(TextTest, SameTextNoCaseFoldsAsciiLettersOnly) {
    EXPECT_TRUE(SameTextNoCase("A9993E36", "a9993e36"));
    EXPECT_TRUE(SameTextNoCase("", ""));
    EXPECT_FALSE(SameTextNoCase("abc", "abcd"));
    EXPECT_FALSE(SameTextNoCase("[", "{"));        // one letter's distance apart, not letters
    EXPECT_FALSE(SameTextNoCase("\xC4", "\xE4"));  // Latin-1 A and a umlaut stay apart
}

}  // namespace
}  // namespace zel
