#include <gtest/gtest.h>

#include "res/resource.h"
#include "ui/tray/app_notify_icon.h"
#include "ui/tray/tray_test_support.h"

namespace zel {
namespace {

// The dialog as the icon sees it: a flag and the two ways of changing it.
struct ToggledOwner : NotifyIconOwner {
    bool IsHiddenInTray() const override { return hidden; }
    void HideToTray() override {
        hidden = true;
        ++hides;
    }
    void RestoreFromTray() override {
        hidden = false;
        ++restores;
    }
    bool hidden = false;
    int hides = 0;
    int restores = 0;
};

class AppNotifyIconTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(
            icon.Install("Corvanta 3", window.Handle(), IDI_APP_ICON, IDR_TRAY_MENU, 0, false));
    }
    LRESULT Click(UINT event, UINT id = IDR_TRAY_MENU) {
        return SendMessageA(icon.Handle(), kNotifyIconCallbackMessage, id, event);
    }

    RecordingShell shell;
    OwnerWindow window;
    ToggledOwner owner;
    CAppNotifyIcon icon{owner, shell.Call()};
};

TEST_F(AppNotifyIconTest, ClicksAndKeysToggleTheOwnerBetweenHiddenAndShown) {
    for (UINT event : {UINT(WM_LBUTTONUP), UINT(WM_LBUTTONDBLCLK), UINT(WM_CONTEXTMENU),
                       UINT(NIN_SELECT), UINT(NIN_KEYSELECT)}) {
        EXPECT_EQ(Click(event), 1) << event;
        EXPECT_TRUE(owner.hidden) << event;
        EXPECT_EQ(Click(event), 1) << event;
        EXPECT_FALSE(owner.hidden) << event;
    }
    EXPECT_EQ(owner.hides, 5);
    EXPECT_EQ(owner.restores, 5);
    EXPECT_TRUE(window.menuFirstItems.empty());
    EXPECT_TRUE(window.commands.empty());
}

TEST_F(AppNotifyIconTest, RightPressAndReleaseEachOpenTheMenu) {
    EXPECT_EQ(Click(WM_RBUTTONDOWN), 1);
    EXPECT_EQ(Click(WM_RBUTTONUP), 1);
    EXPECT_EQ(window.menuFirstItems, std::vector<UINT>(2, ID_TRAY_RESTORE));
    EXPECT_EQ(shell.Last().message, DWORD(NIM_SETFOCUS));
    EXPECT_EQ(owner.hides + owner.restores, 0);
}

TEST_F(AppNotifyIconTest, OtherIconsOwnerTakenAndOtherEventsLeaveTheOwnerAlone) {
    EXPECT_EQ(Click(WM_LBUTTONUP, IDR_TRAY_MENU + 1), 0);
    EXPECT_EQ(Click(WM_MOUSEMOVE), 1);
    window.takeCallbacks = true;
    EXPECT_EQ(Click(WM_LBUTTONUP), 1);
    EXPECT_EQ(owner.hides + owner.restores, 0);
    EXPECT_EQ(window.callbacks, (std::vector<LPARAM>{WM_MOUSEMOVE, WM_LBUTTONUP}));
}

}  // namespace
}  // namespace zel
