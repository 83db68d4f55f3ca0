#include <gtest/gtest.h>

#include <string>

#include "res/resource.h"
#include "ui/tray/notify_icon.h"
#include "ui/tray/tray_test_support.h"

namespace zel {
namespace {

constexpr UINT kAddFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;

class NotifyIconTest : public ::testing::Test {
  protected:
    bool Install(UINT id = IDR_TRAY_MENU, bool byPosition = false, UINT defaultItem = 0) {
        return icon.Install("Corvanta 3", owner.Handle(), IDI_APP_ICON, id, defaultItem,
                            byPosition);
    }
    LRESULT Click(UINT event) {
        return SendMessageA(icon.Handle(), kNotifyIconCallbackMessage, icon.Record().uID, event);
    }

    RecordingShell shell;
    OwnerWindow owner;
    CNotifyIcon icon{shell.Call()};
};

TEST_F(NotifyIconTest, InstallAddsTheWholeRecordAtOnce) {
    EXPECT_FALSE(icon.Install("Corvanta 3", nullptr, IDI_APP_ICON, IDR_TRAY_MENU, 0, false));
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_EQ(icon.Handle(), nullptr);

    ASSERT_TRUE(Install());
    ASSERT_EQ(shell.Messages(), std::vector<DWORD>{NIM_ADD});
    const NOTIFYICONDATAA& sent = shell.Last().record;
    EXPECT_EQ(sent.cbSize, NOTIFYICONDATAA_V2_SIZE);
    EXPECT_EQ(sent.uFlags, kAddFlags);
    EXPECT_EQ(sent.hWnd, icon.Handle());
    EXPECT_EQ(sent.uID, UINT(IDR_TRAY_MENU));
    EXPECT_EQ(sent.uCallbackMessage, 3537u);
    EXPECT_NE(sent.hIcon, nullptr);
    EXPECT_STREQ(sent.szTip, "Corvanta 3");
    EXPECT_TRUE(icon.IsInTray());
    EXPECT_FALSE(icon.IsHidden());
}

TEST_F(NotifyIconTest, StateFollowsTheShellsAnswers) {
    ASSERT_TRUE(Install());
    shell.refusing = true;  // a refused remove changes nothing
    EXPECT_FALSE(icon.RemoveFromTray());
    EXPECT_EQ(shell.Last().message, DWORD(NIM_DELETE));
    EXPECT_EQ(shell.Last().record.uFlags, 0u);
    EXPECT_TRUE(icon.IsInTray());

    shell.refusing = false;
    EXPECT_TRUE(icon.RemoveFromTray());
    EXPECT_FALSE(icon.IsInTray());
    EXPECT_TRUE(icon.IsHidden());
    const size_t calls = shell.calls.size();
    EXPECT_TRUE(icon.RemoveFromTray());  // already removed: nothing to send
    EXPECT_EQ(shell.calls.size(), calls);

    shell.refusing = true;
    EXPECT_FALSE(icon.AddToTray());
    EXPECT_TRUE(icon.IsAddPending());
    EXPECT_FALSE(icon.IsInTray());

    shell.refusing = false;
    EXPECT_TRUE(icon.AddToTray());
    EXPECT_TRUE(icon.IsInTray());
    EXPECT_FALSE(icon.IsAddPending());

    EXPECT_TRUE(icon.AddToTray());  // an icon already there is removed first
    EXPECT_EQ(shell.Messages(), (std::vector<DWORD>{NIM_ADD, NIM_DELETE, NIM_DELETE, NIM_ADD,
                                                    NIM_ADD, NIM_DELETE, NIM_ADD}));
}

TEST_F(NotifyIconTest, ReAddsAfterTaskbarCreatedAndRetriesOnTheWorkAreaChange) {
    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    ASSERT_TRUE(Install());
    EXPECT_EQ(SendMessageA(icon.Handle(), taskbarCreated, 0, 0), 0);
    EXPECT_EQ(shell.Last().message, DWORD(NIM_ADD));
    EXPECT_EQ(shell.Last().record.uFlags, kAddFlags);
    EXPECT_FALSE(icon.IsAddPending());

    shell.refusing = true;
    SendMessageA(icon.Handle(), taskbarCreated, 0, 0);
    EXPECT_TRUE(icon.IsAddPending());
    EXPECT_TRUE(icon.IsInTray());
    shell.refusing = false;
    size_t calls = shell.calls.size();
    SendMessageA(icon.Handle(), WM_SETTINGCHANGE, SPI_SETDESKWALLPAPER, 0);
    EXPECT_EQ(shell.calls.size(), calls);
    SendMessageA(icon.Handle(), WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    EXPECT_EQ(shell.calls.size(), calls + 1);
    EXPECT_EQ(shell.Last().message, DWORD(NIM_ADD));
    EXPECT_FALSE(icon.IsAddPending());
    SendMessageA(icon.Handle(), WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    EXPECT_EQ(shell.calls.size(), calls + 1);

    ASSERT_TRUE(icon.RemoveFromTray());  // a removed icon stays removed
    calls = shell.calls.size();
    SendMessageA(icon.Handle(), taskbarCreated, 0, 0);
    EXPECT_EQ(shell.calls.size(), calls);
}

TEST_F(NotifyIconTest, TipsAreCutAtTheLimitAndAlwaysTerminated) {
    EXPECT_TRUE(icon.SetTipText(std::string(100, 'b')));  // before Install: only recorded
    EXPECT_EQ(icon.MainTip().size(), 63u);
    EXPECT_TRUE(shell.calls.empty());

    ASSERT_TRUE(Install());
    EXPECT_TRUE(icon.SetTipText(std::string(126, 'a')));
    EXPECT_EQ(shell.Last().message, DWORD(NIM_MODIFY));
    EXPECT_EQ(shell.Last().record.uFlags, UINT(NIF_TIP));
    EXPECT_EQ(std::string(shell.Last().record.szTip), std::string(126, 'a'));
    icon.SetTipText(std::string(300, 'c'));
    EXPECT_EQ(std::string(shell.Last().record.szTip), std::string(126, 'c'));
    icon.SetTipText("short");
    EXPECT_STREQ(shell.Last().record.szTip, "short");
}

TEST_F(NotifyIconTest, TheSameIconIsNotSentTwice) {
    ASSERT_TRUE(Install());
    const size_t calls = shell.calls.size();
    EXPECT_TRUE(icon.SetIconHandle(icon.Record().hIcon));
    EXPECT_EQ(shell.calls.size(), calls);

    ScopedIcon other(CopyIcon(icon.Record().hIcon));
    EXPECT_TRUE(icon.SetIconHandle(other.Get()));
    EXPECT_EQ(shell.Last().record.uFlags, UINT(NIF_ICON));
    EXPECT_EQ(shell.Last().record.hIcon, other.Get());
    EXPECT_TRUE(icon.SetIconFromResource(IDI_APP_ICON));
    EXPECT_NE(shell.Last().record.hIcon, other.Get());
}

TEST_F(NotifyIconTest, BalloonIsCutSentEvenWhenHiddenAndEmptiedAfterwards) {
    ASSERT_TRUE(Install());
    icon.SetTipText("tip");  // the balloon keeps the flags of the last operation
    ASSERT_TRUE(icon.ShowBalloon(std::string(300, 'x').c_str()));
    const NOTIFYICONDATAA& sent = shell.Last().record;
    EXPECT_EQ(shell.Last().message, DWORD(NIM_MODIFY));
    EXPECT_EQ(sent.uFlags, UINT(NIF_TIP | NIF_INFO));
    EXPECT_EQ(std::string(sent.szInfo), std::string(255, 'x'));
    EXPECT_STREQ(sent.szInfoTitle, "");
    EXPECT_EQ(sent.uTimeout, 10000u);
    EXPECT_EQ(sent.dwInfoFlags, DWORD(NIIF_NONE));
    EXPECT_STREQ(icon.Record().szInfo, "");

    EXPECT_FALSE(icon.ShowBalloon(nullptr));
    ASSERT_TRUE(icon.RemoveFromTray());
    const size_t calls = shell.calls.size();
    icon.ShowBalloon("Corvanta installation is in progress...");
    EXPECT_EQ(shell.calls.size(), calls + 1);
    EXPECT_STREQ(shell.Last().record.szInfo, "Corvanta installation is in progress...");
}

TEST_F(NotifyIconTest, ClicksGoToTheOwnerFirstThenOpenTheMenuOrSendTheDefaultCommand) {
    ASSERT_TRUE(Install());
    EXPECT_EQ(SendMessageA(icon.Handle(), kNotifyIconCallbackMessage, 5, WM_LBUTTONDBLCLK), 0);
    EXPECT_TRUE(owner.callbacks.empty());

    owner.takeCallbacks = true;
    EXPECT_EQ(Click(WM_LBUTTONDBLCLK), 1);
    EXPECT_EQ(owner.callbacks, std::vector<LPARAM>{WM_LBUTTONDBLCLK});
    EXPECT_TRUE(owner.commands.empty());
    owner.takeCallbacks = false;

    EXPECT_EQ(Click(WM_LBUTTONDBLCLK), 1);
    EXPECT_EQ(Click(WM_LBUTTONUP), 1);
    EXPECT_EQ(owner.commands, std::vector<WPARAM>{0});  // default item 0 as a command id
    EXPECT_TRUE(owner.menuFirstItems.empty());

    for (UINT event :
         {UINT(WM_RBUTTONUP), UINT(WM_CONTEXTMENU), UINT(NIN_SELECT), UINT(NIN_KEYSELECT)}) {
        EXPECT_EQ(Click(event), 1);
        EXPECT_EQ(shell.Last().message, DWORD(NIM_SETFOCUS));
    }
    EXPECT_EQ(owner.menuFirstItems, std::vector<UINT>(4, ID_TRAY_RESTORE));
}

TEST_F(NotifyIconTest, DoubleClickByPositionSendsThatItemsCommand) {
    ASSERT_TRUE(Install(IDR_TRAY_MENU, true, 0));
    EXPECT_EQ(Click(WM_LBUTTONDBLCLK), 1);
    EXPECT_EQ(owner.commands, std::vector<WPARAM>{ID_TRAY_RESTORE});

    ASSERT_TRUE(Install(IDR_TRAY_MENU, true, 4));  // no item there: no command
    EXPECT_EQ(Click(WM_LBUTTONDBLCLK), 0);
    ASSERT_TRUE(Install(77, true, 0));  // no menu resource 77
    EXPECT_EQ(Click(WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(Click(WM_RBUTTONUP), 0);
    EXPECT_EQ(owner.commands.size(), 1u);
}

TEST_F(NotifyIconTest, TheMenuResourceIsShowCorvantaWithRestore) {
    ScopedMenu menu(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY_MENU)));
    ASSERT_TRUE(menu);
    char text[64] = {};
    GetMenuStringA(menu.Get(), 0, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ(text, "Show Corvanta");
    const HMENU popup = GetSubMenu(menu.Get(), 0);
    ASSERT_EQ(GetMenuItemCount(popup), 1);
    GetMenuStringA(popup, 0, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ(text, "Restore");
    EXPECT_EQ(GetMenuItemID(popup, 0), 32772u);
}

TEST(NotifyIconShellTest, WinesShellTakesTheIconItsChangesAndTheBalloon) {
    OwnerWindow owner;
    CNotifyIcon icon;
    ASSERT_TRUE(icon.Install("Corvanta 3", owner.Handle(), IDI_APP_ICON, IDR_TRAY_MENU, 0, false));
    EXPECT_TRUE(icon.SetTipText("Corvanta 3 downloading"));
    EXPECT_TRUE(icon.ShowBalloon("Corvanta installation is in progress..."));
    EXPECT_TRUE(icon.RemoveFromTray());
    EXPECT_FALSE(icon.ShowBalloon("not in the notification area"));
}

}  // namespace
}  // namespace zel
