#include "ui/tray/tray_area.h"

namespace zel {

namespace {

// How far the clock's bottom must lie above the notification window's bottom
// to count as sitting above the icons (a vertical taskbar) rather than beside them.
constexpr long kClockAboveMargin = 5;

// The part of the taskbar the appbar service reported that holds the icons.
constexpr long kAppBarTrayLength = 100;
constexpr long kAppBarTrayEndGap = 16;

// The work-area corner taken when nothing better is known.
constexpr long kCornerWidth = 150;
constexpr long kCornerHeight = 30;

void NarrowToNotificationIcons(TrayAreaProbe& probe, ScreenRect& rect) {
    probe.VisitTaskbarChildren([&rect](const std::string& className, const ScreenRect& window) {
        if (className == "TrayNotifyWnd") {
            rect = window;
            return true;
        }
        if (className == "TrayClockWClass") {
            if (window.bottom < rect.bottom - kClockAboveMargin) {
                rect.top = window.bottom;
            } else {
                rect.right = window.left;
            }
            return false;
        }
        return true;
    });
}

bool TrayCornerOfAppBar(unsigned edge, const ScreenRect& bar, ScreenRect& rect) {
    switch (edge) {
        case kEdgeLeft:
        case kEdgeRight:
            rect = {bar.left, bar.bottom - kAppBarTrayLength, bar.right,
                    bar.bottom - kAppBarTrayEndGap};
            return true;
        case kEdgeTop:
        case kEdgeBottom:
            rect = {bar.right - kAppBarTrayLength, bar.top, bar.right - kAppBarTrayEndGap,
                    bar.bottom};
            return true;
        default:
            // An edge no shell documents says nothing about where the icons are.
            return false;
    }
}

}  // namespace

bool FindTrayArea(TrayAreaProbe& probe, ScreenRect& rect) {
    ScreenRect found;
    if (probe.FindTaskbar(found)) {
        NarrowToNotificationIcons(probe, found);
        rect = found;
        return true;
    }
    unsigned edge = 0;
    ScreenRect bar;
    if (probe.QueryAppBar(edge, bar) && TrayCornerOfAppBar(edge, bar, found)) {
        rect = found;
        return true;
    }
    ScreenRect area;
    if (!probe.QueryWorkArea(area)) return false;
    rect = {area.right - kCornerWidth, area.bottom - kCornerHeight, area.right, area.bottom};
    return true;
}

}  // namespace zel
