// Steps on the main dialog: its presence, how it is shown, its controls.
#include <cstdio>

#include "dialog_state.h"
#include "driver.h"
#include "program_windows.h"

namespace zel::e2e {

namespace {

bool IsShownNormally(HWND dialog) {
    return IsWindowVisible(dialog) && !IsIconic(dialog);
}

}  // namespace

StepResult Driver::WaitDialog(const Args& args) {
    return AwaitDialog(args[0], [](HWND dialog) { return IsWindowVisible(dialog) != FALSE; });
}

StepResult Driver::WaitGone(const Args& args) {
    return Await(
        args[0], [] { return FindMainDialog() == nullptr; },
        [this] { return "still there: " + Snapshot(); });
}

StepResult Driver::WaitShown(const Args& args) {
    return AwaitDialog(args[0], IsShownNormally);
}

StepResult Driver::WaitHidden(const Args& args) {
    return AwaitDialog(args[0], [](HWND dialog) { return !IsWindowVisible(dialog); });
}

StepResult Driver::WaitIconic(const Args& args) {
    return AwaitDialog(args[0], [](HWND dialog) { return IsIconic(dialog) != FALSE; });
}

StepResult Driver::WaitForeground(const Args& args) {
    StepResult result = AwaitDialog(args[0], [](HWND dialog) {
        return IsShownNormally(dialog) && GetForegroundWindow() == dialog;
    });
    if (!result.ok) {
        HWND front = GetForegroundWindow();
        result.detail +=
            "; in front: " +
            (front ? Quoted(ClassOf(front)) + " " + Quoted(TextOf(front)) : std::string("nothing"));
    }
    return result;
}

StepResult Driver::WaitBackground(const Args& args) {
    return AwaitDialog(args[0], [](HWND dialog) { return GetForegroundWindow() != dialog; });
}

// The caption's buttons reach the dialog as WM_SYSCOMMAND; posted, so that
// the driver never waits for what the program does with it.
StepResult Driver::SysCommand(const Args& args) {
    WPARAM command = 0;
    if (args[0] == "close") command = SC_CLOSE;
    if (args[0] == "minimize") command = SC_MINIMIZE;
    if (args[0] == "restore") command = SC_RESTORE;
    if (!command) return {false, "unknown command"};
    HWND dialog = FindMainDialog();
    if (!dialog) return {false, "no main dialog"};
    return {PostMessageA(dialog, WM_SYSCOMMAND, command, 0) != FALSE, ""};
}

StepResult Driver::WaitText(const Args& args) {
    int id = 0;
    if (!ParseInt(args[0], id)) return {false, "bad control id"};
    const std::string pattern = Unescape(args[1]);
    StepResult result = AwaitDialog(
        args[2], [&](HWND dialog) { return MatchesPattern(ControlText(dialog, id), pattern); });
    if (result.ok) result.detail = Quoted(ControlText(FindMainDialog(), id));
    return result;
}

StepResult Driver::ExpectText(const Args& args) {
    return WaitText({args[0], args[1], "0"});
}

StepResult Driver::WaitEnabled(const Args& args) {
    int id = 0;
    if (!ParseInt(args[0], id)) return {false, "bad control id"};
    return AwaitDialog(args[1], [id](HWND dialog) {
        HWND control = GetDlgItem(dialog, id);
        return control && IsWindowEnabled(control);
    });
}

StepResult Driver::WaitDisabled(const Args& args) {
    int id = 0;
    if (!ParseInt(args[0], id)) return {false, "bad control id"};
    return AwaitDialog(args[1], [id](HWND dialog) {
        HWND control = GetDlgItem(dialog, id);
        return control && !IsWindowEnabled(control);
    });
}

// A user can click only a button that is shown and enabled. BM_CLICK makes
// the button itself report the click to the dialog; it is posted, because
// the dialog may answer it with a message box that the driver must answer.
StepResult Driver::Click(const Args& args) {
    int id = 0;
    if (!ParseInt(args[0], id)) return {false, "bad control id"};
    HWND dialog = FindMainDialog();
    HWND button = dialog ? GetDlgItem(dialog, id) : nullptr;
    if (!button) return {false, "no such button"};
    if (!IsWindowVisible(dialog) || !IsWindowVisible(button)) return {false, "not shown"};
    if (!IsWindowEnabled(button)) return {false, "disabled"};
    return {PostMessageA(button, BM_CLICK, 0, 0) != FALSE, Quoted(TextOf(button))};
}

StepResult Driver::RememberRect(const Args&) {
    HWND dialog = FindMainDialog();
    if (!dialog || !GetWindowRect(dialog, &rememberedRect_)) return {false, "no main dialog"};
    hasRememberedRect_ = true;
    return {true, DescribeRect(rememberedRect_)};
}

StepResult Driver::ExpectSameRect(const Args&) {
    HWND dialog = FindMainDialog();
    RECT now = {};
    if (!hasRememberedRect_) return {false, "no rectangle remembered"};
    if (!dialog || !GetWindowRect(dialog, &now)) return {false, "no main dialog"};
    bool same = EqualRect(&now, &rememberedRect_) != FALSE;
    return {same, same ? DescribeRect(now)
                       : "was " + DescribeRect(rememberedRect_) + ", now " + DescribeRect(now)};
}

StepResult Driver::PrintRect(const Args&) {
    HWND dialog = FindMainDialog();
    RECT rect = {};
    if (!dialog || !GetWindowRect(dialog, &rect)) return {false, "no main dialog"};
    std::printf("rect %s\n", DescribeRect(rect).c_str());
    return {true, ""};
}

StepResult Driver::PrintText(const Args& args) {
    int id = 0;
    HWND dialog = FindMainDialog();
    if (!ParseInt(args[0], id) || !dialog || !GetDlgItem(dialog, id)) {
        return {false, "no such control"};
    }
    std::printf("text %d %s\n", id, ControlText(dialog, id).c_str());
    return {true, ""};
}

// What a user would see now, for the report of a failed case.
StepResult Driver::Describe(const Args&) {
    return {true, Snapshot()};
}

}  // namespace zel::e2e
