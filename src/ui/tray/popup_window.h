// An invisible top-level popup window whose messages reach a C++ object: the
// receiver of the shell's icon callbacks. Top-level (not message-only) so
// that broadcasts such as "TaskbarCreated" and WM_SETTINGCHANGE reach it.
// Windows only.
#pragma once

#include <windows.h>

#include "sys/win32_handles.h"

namespace zel {

class PopupWindow {
  public:
    PopupWindow() = default;
    virtual ~PopupWindow();
    PopupWindow(const PopupWindow&) = delete;
    PopupWindow& operator=(const PopupWindow&) = delete;

    // Creates the window (style WS_POPUP, no title, no parent, never shown);
    // false when the system refuses. A window already there is kept.
    bool Create(int x, int y, int width, int height);
    void Destroy();
    HWND Handle() const { return window_.Get(); }

  protected:
    // Every message of the window; the default is the system's handling.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);

    ScopedWindow window_;
};

}  // namespace zel
