// What the notification-area tests share: a shell that records every call
// and can refuse, and a real window standing for the icon's owner that
// records what reaches it and closes any menu opened for it. Windows only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/tray/notify_icon.h"
#include "ui/tray/popup_window.h"

namespace zel {

struct ShellCall {
    DWORD message;
    NOTIFYICONDATAA record;
};

class RecordingShell {
  public:
    NotifyShellCall Call() {
        return [this](DWORD message, const NOTIFYICONDATAA& record) {
            calls.push_back({message, record});
            return !refusing;
        };
    }
    std::vector<DWORD> Messages() const {
        std::vector<DWORD> messages;
        for (const ShellCall& call : calls) messages.push_back(call.message);
        return messages;
    }
    const ShellCall& Last() const { return calls.back(); }

    std::vector<ShellCall> calls;
    bool refusing = false;
};

class OwnerWindow : public PopupWindow {
  public:
    OwnerWindow() { Create(0, 0, 100, 100); }

    std::vector<LPARAM> callbacks;     // the icon's callbacks forwarded here
    std::vector<WPARAM> commands;      // WM_COMMAND wParams
    std::vector<UINT> menuFirstItems;  // first command of every menu opened
    bool takeCallbacks = false;        // answer the forwarded callback with 1

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case kNotifyIconCallbackMessage:
                callbacks.push_back(lParam);
                return takeCallbacks ? 1 : 0;
            case WM_COMMAND:
                commands.push_back(wParam);
                return 0;
            case WM_INITMENUPOPUP:
                menuFirstItems.push_back(GetMenuItemID(reinterpret_cast<HMENU>(wParam), 0));
                return 0;
            case WM_ENTERIDLE:
                // The menu is up and waiting for the user: close it.
                if (wParam == MSGF_MENU) EndMenu();
                return 0;
            default:
                return PopupWindow::HandleMessage(message, wParam, lParam);
        }
    }
};

}  // namespace zel
