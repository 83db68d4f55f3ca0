#include "sys/resource_strings.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(ResourceStringsTest, TheStringTableHoldsTheProgramsTexts) {
    EXPECT_EQ(LoadResourceString(57344), "Corvanta 3");
    EXPECT_EQ(LoadResourceString(1197), "Error connecting to Internet.\n\n%1");
    EXPECT_EQ(LoadResourceString(1203), "QUORVANE");
    EXPECT_EQ(LoadResourceString(1205), "QUORVANE");
}

TEST(ResourceStringsTest, IdsInTheSharedHeaderNameTheSameEntries) {
    EXPECT_EQ(IDS_APP_TITLE, 57344);
    EXPECT_EQ(LoadResourceString(IDS_INTERNET_SESSION_ERROR), LoadResourceString(1197));
    EXPECT_EQ(LoadResourceString(IDS_BUILD_FOR), LoadResourceString(1203));
    EXPECT_EQ(LoadResourceString(IDS_CAMPAIGN), LoadResourceString(1205));
}

TEST(ResourceStringsTest, UnknownIdGivesEmptyText) {
    EXPECT_EQ(LoadResourceString(1), "");
    EXPECT_EQ(LoadResourceString(1204), "");
    EXPECT_EQ(LoadResourceString(65535), "");
}

}  // namespace
}  // namespace zel
