#include "ui/key_filter.h"

namespace zel {

namespace {

constexpr unsigned kFirstKeyMessage = 0x0100;  // WM_KEYFIRST
constexpr unsigned kLastKeyMessage = 0x0109;   // WM_UNICHAR, the last keyboard message
constexpr unsigned kKeyDown = 0x0100;          // WM_KEYDOWN
constexpr unsigned kSystemKeyDown = 0x0104;    // WM_SYSKEYDOWN
constexpr unsigned kSystemKeyUp = 0x0105;      // WM_SYSKEYUP
constexpr std::uintptr_t kTab = 9;             // VK_TAB, with or without Shift
constexpr std::uintptr_t kEscape = 27;         // VK_ESCAPE
constexpr std::uintptr_t kFirstArrow = 37;     // VK_LEFT, then VK_UP, VK_RIGHT
constexpr std::uintptr_t kLastArrow = 40;      // VK_DOWN
constexpr std::uintptr_t kF4 = 115;            // VK_F4
constexpr std::uintptr_t kF5 = 116;            // VK_F5

}  // namespace

KeyFilterResult FilterDialogKey(unsigned message, std::uintptr_t& wParam) {
    // Only keyboard messages carry a key code in wParam. Elsewhere 115 or 116
    // means something else (the engine's progress report counts bytes in
    // it), and must reach its window unchanged.
    if (message < kFirstKeyMessage || message > kLastKeyMessage) {
        return KeyFilterResult::kPreTranslateAsUsual;
    }
    if (message == kKeyDown) {
        // Tab, Shift+Tab and the arrows move the focus between the buttons,
        // so that the keyboard reaches each of them (Space presses the one
        // with the focus). No other key-down reaches the dialog manager:
        // Enter presses nothing, and Escape cancels nothing.
        if (wParam == kTab || (wParam >= kFirstArrow && wParam <= kLastArrow))
            return KeyFilterResult::kPreTranslateAsUsual;
        if (wParam == kEscape || wParam == kF4 || wParam == kF5) wParam = 0;
        return KeyFilterResult::kNotHandled;
    }
    if ((message == kSystemKeyDown || message == kSystemKeyUp) && wParam == kF4) {
        wParam = 0;  // Alt+F4
        return KeyFilterResult::kNotHandled;
    }
    if (wParam == kF5) {
        wParam = 0;
        return KeyFilterResult::kNotHandled;
    }
    if (wParam == kF4) return KeyFilterResult::kNotHandled;
    return KeyFilterResult::kPreTranslateAsUsual;
}

}  // namespace zel
