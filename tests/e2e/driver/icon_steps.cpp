// Steps on the notification-area icon: the shell tells the icon's own window
// about clicks with the icon's callback message; the driver sends the same.
#include <algorithm>
#include <string>

#include "driver.h"
#include "program_windows.h"

namespace zel::e2e {

namespace {

constexpr UINT kIconCallbackMessage = 3537;
constexpr WPARAM kIconId = 138;
// How long a right-click's menu may take to open before the click is repeated.
constexpr DWORD kMenuTryMs = 3000;

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : ", ") + Quoted(word);
    return text.empty() ? "none" : text;
}

}  // namespace

// Posted: a right click opens a popup menu, whose loop runs inside the
// icon's handling of the message until the menu closes.
StepResult Driver::Tray(const Args& args) {
    LPARAM mouseMessage = 0;
    if (args[0] == "click") mouseMessage = WM_LBUTTONUP;
    if (args[0] == "right-click") mouseMessage = WM_RBUTTONUP;
    if (!mouseMessage) return {false, "the click must be click or right-click"};
    HWND dialog = FindMainDialog();
    if (!dialog) return {false, "no main dialog"};
    std::vector<std::string> candidates;
    HWND icon = FindIconWindow(ProcessOf(dialog), candidates);
    if (!icon) return {false, "no single icon window; candidates: " + Joined(candidates)};
    bool posted = PostMessageA(icon, kIconCallbackMessage, kIconId, mouseMessage) != FALSE;
    return {posted, "to " + Quoted(ClassOf(icon))};
}

// Menus are chosen with the keyboard: Down once per position, then Enter.
StepResult Driver::MenuChoose(const Args& args) {
    int position = 0;
    if (!ParseInt(args[0], position) || position < 1) return {false, "bad position"};
    HWND dialog = FindMainDialog();
    if (!dialog) return {false, "no main dialog"};
    const DWORD processId = ProcessOf(dialog);
    HWND menu = nullptr;
    StepResult opened = Await(
        args[1], [&] { return (menu = FindPopupMenu(processId)) != nullptr; },
        [] { return std::string("no popup menu"); });
    if (!opened.ok) return opened;
    return ChooseFromMenu(menu, processId, position, args[1]);
}

// Under Wine without a window manager, the focus the hidden dialog gave up
// may reach the program late and close a menu the moment it opens; a user
// then right-clicks again, and so does this step, a few seconds apart, until
// a menu stays open. It says how many right-clicks it took.
StepResult Driver::IconMenuChoose(const Args& args) {
    int position = 0;
    if (!ParseInt(args[0], position) || position < 1) return {false, "bad position"};
    const DWORD limitMs = SecondsToMs(args[1]);
    const DWORD start = GetTickCount();
    for (int clicks = 1;; ++clicks) {
        StepResult clicked = Tray({"right-click"});
        if (!clicked.ok) return clicked;
        HWND dialog = FindMainDialog();
        if (!dialog) return {false, "no main dialog"};
        const DWORD processId = ProcessOf(dialog);
        HWND menu = nullptr;
        const DWORD elapsed = GetTickCount() - start;
        const DWORD tryMs = elapsed >= limitMs ? 0 : std::min<DWORD>(kMenuTryMs, limitMs - elapsed);
        if (AwaitCondition([&] { return (menu = FindPopupMenu(processId)) != nullptr; }, tryMs,
                           timings_.pollMs)) {
            StepResult chosen = ChooseFromMenu(menu, processId, position, args[1]);
            chosen.detail = std::to_string(clicks) + " right-click" + (clicks > 1 ? "s" : "") +
                            (chosen.detail.empty() ? "" : "; " + chosen.detail);
            return chosen;
        }
        if (GetTickCount() - start >= limitMs)
            return {false, "no popup menu after " + std::to_string(clicks) + " right-clicks"};
    }
}

StepResult Driver::ChooseFromMenu(HWND menu, DWORD processId, int position,
                                  const std::string& seconds) {
    for (int i = 0; i < position; ++i) PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    return Await(
        seconds, [&] { return FindPopupMenu(processId) == nullptr; },
        [] { return std::string("the menu is still open"); });
}

}  // namespace zel::e2e
