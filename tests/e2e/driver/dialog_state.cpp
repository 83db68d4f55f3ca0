#include "dialog_state.h"

#include <commctrl.h>

#include "program_windows.h"

namespace zel::e2e {

namespace {

std::string DescribeButton(HWND dialog, int controlId) {
    HWND button = GetDlgItem(dialog, controlId);
    if (!button) return "(none)";
    std::string text = "\"" + TextOf(button) + "\"";
    if (!IsWindowEnabled(button)) text += " disabled";
    if (!IsWindowVisible(button)) text += " hidden";
    return text;
}

}  // namespace

std::string ControlText(HWND dialog, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    return control ? TextOf(control) : std::string();
}

// PBM_GETPOS carries no pointer, so it may be sent across processes; the
// time-out keeps a hung program from hanging the driver.
int ProgressPosition(HWND dialog, DWORD timeoutMs) {
    HWND bar = GetDlgItem(dialog, kProgressBarId);
    DWORD_PTR position = 0;
    if (!bar ||
        !SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &position)) {
        return -1;
    }
    return static_cast<int>(position);
}

std::string DescribeDialog(HWND dialog, DWORD timeoutMs) {
    if (!dialog) return "no main dialog";
    std::string text = IsWindowVisible(dialog) ? "shown" : "hidden";
    if (IsIconic(dialog)) text += " minimised";
    text += ", status \"" + ControlText(dialog, kStatusLineId) + "\"";
    text += ", pause " + DescribeButton(dialog, kPauseButtonId);
    text += ", cancel " + DescribeButton(dialog, kCancelButtonId);
    text += ", progress " + std::to_string(ProgressPosition(dialog, timeoutMs));
    return text;
}

}  // namespace zel::e2e
