#include <windows.h>
// MinGW's shellapi.h uses the types of windows.h without including it.
#include <shellapi.h>

#include "ui/tray/tray_animation.h"
#include "ui/tray/tray_area.h"

namespace zel {

namespace {

ScreenRect FromRect(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

RECT ToRect(const ScreenRect& r) {
    return {LONG(r.left), LONG(r.top), LONG(r.right), LONG(r.bottom)};
}

// The real taskbar, the shell's appbar service and the work area.
class SystemTrayAreaProbe final : public TrayAreaProbe {
  public:
    bool FindTaskbar(ScreenRect& rect) override {
        taskbar_ = FindWindowA("Shell_TrayWnd", nullptr);
        RECT r;
        if (!taskbar_ || !GetWindowRect(taskbar_, &r)) return false;
        rect = FromRect(r);
        return true;
    }

    void VisitTaskbarChildren(const ChildVisitor& visit) override {
        if (taskbar_) EnumChildWindows(taskbar_, &VisitOne, reinterpret_cast<LPARAM>(&visit));
    }

    bool QueryAppBar(unsigned& edge, ScreenRect& bar) override {
        APPBARDATA data = {};
        data.cbSize = sizeof(data);
        if (!SHAppBarMessage(ABM_GETTASKBARPOS, &data)) return false;
        edge = data.uEdge;
        bar = FromRect(data.rc);
        return true;
    }

    bool QueryWorkArea(ScreenRect& area) override {
        RECT r;
        if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0)) return false;
        area = FromRect(r);
        return true;
    }

  private:
    static BOOL CALLBACK VisitOne(HWND child, LPARAM visitor) {
        char className[256] = {};
        GetClassNameA(child, className, int(sizeof(className)));
        RECT r = {};
        GetWindowRect(child, &r);
        return (*reinterpret_cast<const ChildVisitor*>(visitor))(className, FromRect(r)) ? TRUE
                                                                                         : FALSE;
    }

    HWND taskbar_ = nullptr;
};

}  // namespace

bool IsMinimizeAnimationOn() {
    ANIMATIONINFO animation = {};
    animation.cbSize = sizeof(animation);
    if (!SystemParametersInfoA(SPI_GETANIMATION, sizeof(animation), &animation, 0)) return false;
    return animation.iMinAnimate != 0;
}

bool GetTrayAreaRect(RECT& rect) {
    SystemTrayAreaProbe probe;
    ScreenRect found;
    if (!FindTrayArea(probe, found)) return false;
    rect = ToRect(found);
    return true;
}

TraySlideSystem TraySlideSystem::Real() {
    TraySlideSystem system;
    system.isAnimationOn = &IsMinimizeAnimationOn;
    system.getTrayAreaRect = [](RECT& rect) { return GetTrayAreaRect(rect); };
    system.animate = [](HWND window, const RECT& from, const RECT& to) {
        DrawAnimatedRects(window, IDANI_CAPTION, &from, &to);
    };
    return system;
}

void SlideOutOfTray(HWND window) {
    SlideOutOfTray(window, TraySlideSystem::Real());
}

void SlideOutOfTray(HWND window, const TraySlideSystem& system) {
    RECT from = {};
    RECT to = {};
    // Without the notification area's place there is nowhere to grow from:
    // the window just appears.
    const bool animate =
        system.isAnimationOn() && GetWindowRect(window, &to) && system.getTrayAreaRect(from);
    if (animate) system.animate(window, from, to);
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    SetActiveWindow(window);
    SetForegroundWindow(window);
}

}  // namespace zel
