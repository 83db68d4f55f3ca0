// The program's notification-area icon: a click hands the window to the
// notification area or brings it back, and a right click opens the menu.
// Windows only.
//
// How the main dialog uses it (it implements NotifyIconOwner; the geometry
// helpers come from ui/tray/tray_animation.h):
//   CAppNotifyIcon trayIcon{*this};   // a member, constructed with the dialog
//   // in its initialisation, once the window exists:
//   trayIcon.Install(LoadResourceString(IDS_APP_TITLE), window, IDI_APP_ICON, IDR_TRAY_MENU,
//                    0, false);
//   // HideToTray: set the flag; if IsMinimizeAnimationOn(), DrawAnimatedRects
//   //   from the window to GetTrayAreaRect; hide the window;
//   //   if (!trayIcon.IsInTray()) trayIcon.AddToTray();
//   //   trayIcon.ShowBalloon("Corvanta installation is in progress...");
//   // RestoreFromTray: clear the flag; SlideOutOfTray(window); ...
//   // destruction with the dialog removes the icon.
// A click on the icon calls the owner's HideToTray or RestoreFromTray on the
// dialog's thread, from inside the icon's window procedure. "Restore" (32772)
// in menu 138 reaches the dialog as WM_COMMAND. Every callback (message 3537)
// is first sent to the dialog: it must answer 0 (the default) for the icon to
// go on with its own handling.
#pragma once

#include "ui/tray/notify_icon.h"

namespace zel {

// What the icon needs of the window it stands for.
class NotifyIconOwner {
  public:
    // True while the window is hidden and only the icon is left.
    virtual bool IsHiddenInTray() const = 0;
    // Sends the window to the notification area (and sets the flag).
    virtual void HideToTray() = 0;
    // Brings the window back (and clears the flag).
    virtual void RestoreFromTray() = 0;

  protected:
    ~NotifyIconOwner() = default;
};

class CAppNotifyIcon : public CNotifyIcon {
  public:
    explicit CAppNotifyIcon(NotifyIconOwner& owner, NotifyShellCall shell = &CallShellNotifyIcon);

    // Left click, double click, the context-menu key and a keyboard select
    // toggle the owner between hidden and shown; a right press or release
    // opens the menu.
    LRESULT HandleNotification(WPARAM wParam, LPARAM lParam) override;

  private:
    NotifyIconOwner& owner_;
};

}  // namespace zel
