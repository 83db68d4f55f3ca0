#include "ui/key_filter.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

constexpr unsigned kKeyDown = 0x0100;
constexpr unsigned kKeyUp = 0x0101;
constexpr unsigned kChar = 0x0102;
constexpr unsigned kSystemKeyDown = 0x0104;
constexpr unsigned kSystemKeyUp = 0x0105;

struct Filtered {
    KeyFilterResult result;
    std::uintptr_t wParam;
};

Filtered Filter(unsigned message, std::uintptr_t wParam) {
    const KeyFilterResult result = FilterDialogKey(message, wParam);
    return {result, wParam};
}

TEST(KeyFilterTest, EscapeF4AndF5KeyDownsBecomeKeyCodeZeroAndSkipTheDialogManager) {
    for (std::uintptr_t key : {27u, 115u, 116u}) {
        const Filtered f = Filter(kKeyDown, key);
        EXPECT_EQ(f.wParam, 0u) << key;
        EXPECT_EQ(f.result, KeyFilterResult::kNotHandled) << key;
    }
}

TEST(KeyFilterTest, OtherKeyDownsKeepTheirCodeButOnlyTabAndArrowsReachTheDialogManager) {
    for (std::uintptr_t key : {13u, 32u, 65u, 0u}) {  // Enter, Space, A
        const Filtered f = Filter(kKeyDown, key);
        EXPECT_EQ(f.wParam, key);
        EXPECT_EQ(f.result, KeyFilterResult::kNotHandled) << key;
    }
    for (std::uintptr_t key : {9u, 37u, 38u, 39u, 40u}) {  // Tab, the four arrows
        const Filtered f = Filter(kKeyDown, key);
        EXPECT_EQ(f.wParam, key);
        EXPECT_EQ(f.result, KeyFilterResult::kPreTranslateAsUsual) << key;
    }
}

TEST(KeyFilterTest, AltF4IsNeutralisedWhileOtherSystemKeysGoToTheDialogManager) {
    EXPECT_EQ(Filter(kSystemKeyDown, 115).wParam, 0u);
    EXPECT_EQ(Filter(kSystemKeyDown, 115).result, KeyFilterResult::kNotHandled);
    EXPECT_EQ(Filter(kSystemKeyUp, 115).wParam, 0u);
    const Filtered altS = Filter(kSystemKeyDown, 83);
    EXPECT_EQ(altS.wParam, 83u);
    EXPECT_EQ(altS.result, KeyFilterResult::kPreTranslateAsUsual);
}

TEST(KeyFilterTest, F5InAnyMessageIsNeutralisedAndF4PassesWithoutTheDialogManager) {
    const Filtered charF5 = Filter(kChar, 116);
    EXPECT_EQ(charF5.wParam, 0u);
    EXPECT_EQ(charF5.result, KeyFilterResult::kNotHandled);
    const Filtered upF4 = Filter(kKeyUp, 115);
    EXPECT_EQ(upF4.wParam, 115u);
    EXPECT_EQ(upF4.result, KeyFilterResult::kNotHandled);
    // Escape is filtered in key-downs only.
    const Filtered upEscape = Filter(kKeyUp, 27);
    EXPECT_EQ(upEscape.wParam, 27u);
    EXPECT_EQ(upEscape.result, KeyFilterResult::kPreTranslateAsUsual);
}

TEST(KeyFilterTest, MessagesOtherThanKeysKeepAWParamOf115Or116) {
    constexpr unsigned kDownloadProgress = 1025;  // wParam: bytes on disk
    for (std::uintptr_t bytes : {115u, 116u}) {
        const Filtered f = Filter(kDownloadProgress, bytes);
        EXPECT_EQ(f.wParam, bytes);
        EXPECT_EQ(f.result, KeyFilterResult::kPreTranslateAsUsual);
    }
}

}  // namespace
}  // namespace zel
