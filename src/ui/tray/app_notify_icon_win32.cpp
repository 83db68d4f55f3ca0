#include "ui/tray/app_notify_icon.h"

namespace zel {

CAppNotifyIcon::CAppNotifyIcon(NotifyIconOwner& owner, NotifyShellCall shell)
    : CNotifyIcon(std::move(shell)), owner_(owner) {}

LRESULT CAppNotifyIcon::HandleNotification(WPARAM wParam, LPARAM lParam) {
    LRESULT settled = 0;
    if (SettledBeforeClickHandling(wParam, lParam, settled)) return settled;
    switch (LOWORD(lParam)) {
        case WM_CONTEXTMENU:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case NIN_SELECT:
        case NIN_KEYSELECT:
            if (owner_.IsHiddenInTray()) {
                owner_.RestoreFromTray();
            } else {
                owner_.HideToTray();
            }
            return 1;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
            return ShowPopupMenu() ? 1 : 0;
        default:
            return 1;
    }
}

}  // namespace zel
