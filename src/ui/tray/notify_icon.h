// The program's icon in the notification area: tip, balloon message, a
// one-item popup menu, a click that hands the window to the owner, and a
// re-add after the taskbar has been re-created. Windows only.
//
// Life of an icon: construct it (nothing shows yet), Install it with the
// owner window (it is added at once), change tip and icon as needed, and
// destroy it (it is removed). Changes made while the icon is not in the
// notification area are only recorded; the next AddToTray sends them all.
//
// Every call to the shell goes through one NotifyShellCall, Shell_NotifyIconA
// unless a test hands in its own.
#pragma once

#include <windows.h>
// MinGW's shellapi.h uses the types of windows.h without including it.
#include <shellapi.h>

#include <functional>
#include <string>

#include "sys/win32_handles.h"
#include "ui/tray/popup_window.h"

namespace zel {

// The notification-area message of the icon's window and the owner's: the
// shell sends it with the icon's id in wParam and the mouse or keyboard
// event in the low word of lParam.
inline constexpr UINT kNotifyIconCallbackMessage = 3537;

// The record sent with every call: the version 2 layout (up to, not
// including, the GUID), so that older shells accept it.
inline constexpr DWORD kNotifyRecordSize = NOTIFYICONDATAA_V2_SIZE;

// The shell's notification-area call: message (NIM_ADD, NIM_MODIFY,
// NIM_DELETE, NIM_SETFOCUS) and record; true when the shell accepted it.
using NotifyShellCall = std::function<bool(DWORD message, const NOTIFYICONDATAA& record)>;
bool CallShellNotifyIcon(DWORD message, const NOTIFYICONDATAA& record);

// One owned icon handle: destroyed with its holder.
using CIconHandle = ScopedIcon;

class CNotifyIcon : public PopupWindow {
  public:
    explicit CNotifyIcon(NotifyShellCall shell = &CallShellNotifyIcon);
    ~CNotifyIcon() override;

    // Takes the tip, the icon (a resource id of this program) and the owner
    // window, creates the icon's own window and adds the icon. id is the
    // icon's id with the shell and also the id of its popup menu resource;
    // defaultItem names the menu's default item, as a command id or (when
    // defaultByPosition) as a position. False without an owner (nothing is
    // made then) or when the shell refuses the add.
    bool Install(const std::string& caption, HWND owner, UINT iconId, UINT id, UINT defaultItem,
                 bool defaultByPosition);

    // Registration with the shell. AddToTray removes an icon already there
    // first; a refused add marks the icon add-pending.
    bool AddToTray();
    bool RemoveFromTray();
    // Adds the icon again after the taskbar was re-created, unless it was
    // removed; returns the new add-pending mark.
    bool RestoreAfterShellRestart();

    // Tip and icon; sent at once while the icon is in the notification area.
    // Tips are cut to 63 bytes before Install and to 126 after.
    bool SetTipText(const std::string& text);
    bool SetIconFromResource(UINT iconId);
    bool SetIconHandle(HICON icon);

    // A balloon with text (cut to 255 bytes), no title, no icon, 10 seconds;
    // false when the shell shows no balloons or refuses.
    bool ShowBalloon(const char* text);

    // A callback from the shell (wParam: icon id, lParam: the event). The
    // owner sees it first; when it returns non-zero nothing else happens.
    virtual LRESULT HandleNotification(WPARAM wParam, LPARAM lParam);

    // State.
    bool IsInTray() const { return !removed_; }
    bool IsHidden() const { return hidden_; }
    bool IsAddPending() const { return addPending_; }
    HWND TargetWindow() const { return targetWindow_; }
    const NOTIFYICONDATAA& Record() const { return record_; }
    const std::string& MainTip() const { return mainTip_; }

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // What every click handling does first: true, with the result, when the
    // callback is settled already (not this icon's: 0; taken by the target: 1).
    bool SettledBeforeClickHandling(WPARAM wParam, LPARAM lParam, LRESULT& result) const;
    // Shows the popup menu (menu resource = the icon's id, submenu 0) at the
    // cursor with the target window as the receiver of its command; false
    // when the menu cannot be loaded.
    bool ShowPopupMenu();

  private:
    bool Send(DWORD message);
    bool SendTip(const std::string& tip);
    // The command of a double click: the default item, or the command at the
    // default position; false when there is none.
    bool DefaultCommand(UINT& command) const;

    NotifyShellCall shell_;
    UINT taskbarCreatedMessage_;
    UINT reAddFlags_ = 0;
    UINT defaultMenuItem_ = 0;
    bool defaultByPosition_ = true;
    bool hidden_ = true;
    bool removed_ = true;
    bool addPending_ = false;
    HWND targetWindow_ = nullptr;
    int tipLimit_ = 64;  // longest tip plus one
    std::string mainTip_;
    CIconHandle currentIcon_;
    NOTIFYICONDATAA record_;
};

}  // namespace zel
