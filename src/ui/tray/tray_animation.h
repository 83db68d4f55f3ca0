// The window's way into and out of the notification area: whether the
// system animates minimising, where the notification area is, and the slide
// of a window out of it. Windows only.
#pragma once

#include <windows.h>

#include <functional>

namespace zel {

// True when the user has the minimise and restore animation on.
bool IsMinimizeAnimationOn();

// The notification area's rectangle on the screen (see FindTrayArea); false,
// with rect unchanged, when nothing tells where it is.
bool GetTrayAreaRect(RECT& rect);

// What SlideOutOfTray asks of the system; tests put in their own answers.
struct TraySlideSystem {
    std::function<bool()> isAnimationOn;
    std::function<bool(RECT&)> getTrayAreaRect;
    // Draws the caption moving from one rectangle to the other.
    std::function<void(HWND window, const RECT& from, const RECT& to)> animate;

    static TraySlideSystem Real();
};

// Brings a window hidden in the notification area back: drawn growing from
// the notification area when the system animates (and the area can be
// found), shown, activated and put in the foreground.
void SlideOutOfTray(HWND window);
void SlideOutOfTray(HWND window, const TraySlideSystem& system);

}  // namespace zel
