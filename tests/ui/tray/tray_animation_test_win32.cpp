#include <gtest/gtest.h>

#include "ui/tray/popup_window.h"
#include "ui/tray/tray_animation.h"

namespace zel {
namespace {

struct Animation {
    RECT from;
    RECT to;
};

class SlideOutOfTrayTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(window.Create(200, 150, 320, 240)); }

    TraySlideSystem System(bool animationOn, bool trayKnown) {
        TraySlideSystem system;
        system.isAnimationOn = [animationOn] { return animationOn; };
        system.getTrayAreaRect = [this, trayKnown](RECT& rect) {
            ++trayQueries;
            rect = {900, 700, 1000, 730};
            return trayKnown;
        };
        system.animate = [this](HWND, const RECT& from, const RECT& to) {
            animations.push_back({from, to});
        };
        return system;
    }

    PopupWindow window;
    int trayQueries = 0;
    std::vector<Animation> animations;
};

// One window for every case: under Wine without a window manager, hiding or
// destroying a window that has been active waits two seconds for X.
TEST_F(SlideOutOfTrayTest, GrowsFromTheTrayAreaWhenItCanElseTheWindowJustAppears) {
    SlideOutOfTray(window.Handle(), System(true, false));
    EXPECT_EQ(trayQueries, 1);
    EXPECT_TRUE(animations.empty());
    EXPECT_TRUE(IsWindowVisible(window.Handle()));

    SlideOutOfTray(window.Handle(), System(false, true));
    EXPECT_EQ(trayQueries, 1);
    EXPECT_TRUE(animations.empty());

    SlideOutOfTray(window.Handle(), System(true, true));
    ASSERT_EQ(animations.size(), 1u);
    EXPECT_EQ(animations[0].from.left, 900);
    EXPECT_EQ(animations[0].from.bottom, 730);
    EXPECT_EQ(animations[0].to.left, 200);
    EXPECT_EQ(animations[0].to.bottom, 390);
}

TEST(TrayAreaRectTest, TheRealScreenHasATrayArea) {
    // Wine's explorer keeps a hidden, empty "Shell_TrayWnd" when it shows no
    // taskbar: the search ends there, on the screen.
    RECT rect = {-1, -1, -1, -1};
    ASSERT_TRUE(GetTrayAreaRect(rect));
    EXPECT_LE(0, rect.left);
    EXPECT_LE(rect.left, rect.right);
    EXPECT_LE(0, rect.top);
    EXPECT_LE(rect.top, rect.bottom);
    EXPECT_LE(rect.right, GetSystemMetrics(SM_CXVIRTUALSCREEN));
}

}  // namespace
}  // namespace zel
