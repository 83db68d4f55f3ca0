// Where on the screen the notification area lies, so that a window can be
// seen to shrink into it and grow out of it. The search reads the system
// through a probe: the Windows build asks the real taskbar, tests give the
// screens they need.
#pragma once

#include <functional>
#include <string>

namespace zel {

// Screen coordinates in pixels; right and bottom lie just outside.
struct ScreenRect {
    long left = 0;
    long top = 0;
    long right = 0;
    long bottom = 0;
};

inline bool operator==(const ScreenRect& a, const ScreenRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The edges the shell reports for the taskbar.
enum TaskbarEdge : unsigned { kEdgeLeft = 0, kEdgeTop = 1, kEdgeRight = 2, kEdgeBottom = 3 };

class TrayAreaProbe {
  public:
    // Called with a child window's class name and rectangle; false stops the visit.
    using ChildVisitor = std::function<bool(const std::string& className, const ScreenRect& rect)>;

    virtual ~TrayAreaProbe() = default;
    // The taskbar window's rectangle, when there is a taskbar window.
    virtual bool FindTaskbar(ScreenRect& rect) = 0;
    // Every window below the taskbar found by FindTaskbar, children before
    // their siblings' children, in the order the system keeps them.
    virtual void VisitTaskbarChildren(const ChildVisitor& visit) = 0;
    // The taskbar's edge and rectangle as the shell's appbar service tells them.
    virtual bool QueryAppBar(unsigned& edge, ScreenRect& bar) = 0;
    // The part of the screen that the taskbar and other appbars leave free.
    virtual bool QueryWorkArea(ScreenRect& area) = 0;
};

// The notification area: the taskbar's notification window narrowed to the
// icons beside the clock; without a taskbar window, a corner of the taskbar
// the appbar service reports; without that, the 150 x 30 corner at the bottom
// right of the work area. False when none of these can be had (rect is then
// left alone).
bool FindTrayArea(TrayAreaProbe& probe, ScreenRect& rect);

}  // namespace zel
