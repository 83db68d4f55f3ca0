#include "ui/panel/section_rotation.h"

#include <gtest/gtest.h>

#include <vector>

namespace zel {
namespace {

TEST(SectionRotationTest, FirstStepShowsRecoverThenEverySectionInTurn) {
    SectionRotation rotation;
    EXPECT_EQ(rotation.Current(), "Protect");
    std::vector<std::string> shown;
    for (int i = 0; i < 7; ++i) shown.push_back(rotation.Advance());
    EXPECT_EQ(shown, (std::vector<std::string>{"Recover", "Smart", "Home", "Optimize", "Clean",
                                               "Protect", "Recover"}));
}

TEST(SectionRotationTest, TextNamingNoSectionBeforeTheLastIsFollowedByHome) {
    for (const char* current : {"Smart", "", "home", "HOME", "Protect ", "step1"}) {
        EXPECT_EQ(NextSection(current), "Home") << current;
    }
}

}  // namespace
}  // namespace zel
