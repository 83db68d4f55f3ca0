#include <windows.h>
// commctrl.h and shellapi.h need windows.h first: MinGW's copies do not include it.
#include <commctrl.h>
#include <shellapi.h>

#include <utility>

#include "sys/resource_strings.h"
#include "sys/win32_handles.h"
#include "ui/dialog/dialog_window_port.h"

namespace zel {

namespace {

// What the caller of a box that the closing dialog took away is told: what
// the session itself answers when it is shutting down.
int ShutdownAnswer(unsigned flags) {
    return (flags & kMbYesNo) == kMbYesNo ? kIdYes : kIdOk;
}

// A thread has no message queue until it first asks for one; a WM_QUIT
// posted to it must find one.
void EnsureMessageQueue() {
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
}

}  // namespace

DialogWindowPort::DialogWindowPort()
    : caption_(LoadResourceString(IDS_APP_TITLE)), dialogThread_(GetCurrentThreadId()) {}

void DialogWindowPort::Attach(HWND dialog) {
    dialogThread_ = GetCurrentThreadId();
    window_ = dialog;
    ApplyPendingChanges();
}

void DialogWindowPort::Detach() {
    window_ = nullptr;
}

void DialogWindowPort::ApplyPendingChanges() {
    if (!OnDialogThread() || !window_.load()) return;
    wakeRefused_ = false;
    Apply(pending_.Take());
}

void DialogWindowPort::Close() {
    ended_ = true;
    std::lock_guard<std::mutex> lock(boxesMutex_);
    closed_ = true;
    // A modal box's loop ends its box when it meets WM_QUIT, also one that
    // was queued before the box came up.
    for (DWORD thread : boxThreads_) PostThreadMessageA(thread, WM_QUIT, 0, 0);
}

// --- Control changes -------------------------------------------------------------

void DialogWindowPort::Deliver(bool recordWasEmpty) {
    HWND window = window_.load();
    if (!window) return;
    if (OnDialogThread()) {
        Apply(pending_.Take());
    } else if (recordWasEmpty || wakeRefused_.exchange(false)) {
        if (!PostMessageA(window, kApplyChangesMessage, 0, 0)) wakeRefused_ = true;
    }
}

void DialogWindowPort::Apply(const ControlChanges& changes) const {
    HWND window = window_.load();
    if (!window) return;
    if (changes.statusText) SetDlgItemTextA(window, kStatusTextId, changes.statusText->c_str());
    if (changes.progressPosition)
        SendDlgItemMessageA(window, kProgressBarId, PBM_SETPOS, WPARAM(*changes.progressPosition),
                            0);
    for (const auto& [id, enable] : changes.enabled) {
        if (HWND control = GetDlgItem(window, id)) EnableWindow(control, enable);
    }
    for (const auto& [id, text] : changes.buttonText) SetDlgItemTextA(window, id, text.c_str());
    if (changes.launchTimer) {
        if (changes.launchTimer->set) {
            SetTimer(window, kLaunchTimerId, changes.launchTimer->periodMs, nullptr);
        } else {
            KillTimer(window, kLaunchTimerId);
        }
    }
}

void DialogWindowPort::SetStatusLine(const std::string& text) {
    Deliver(pending_.SetStatusText(text));
}

void DialogWindowPort::SetProgressPosition(int percent) {
    Deliver(pending_.SetProgressPosition(percent));
}

void DialogWindowPort::EnableButton(int controlId, bool enable) {
    Deliver(pending_.EnableButton(controlId, enable));
}

void DialogWindowPort::SetButtonText(int controlId, const std::string& text) {
    Deliver(pending_.SetButtonText(controlId, text));
}

void DialogWindowPort::SetLaunchTimer(unsigned periodMs) {
    Deliver(pending_.SetLaunchTimer(periodMs));
}

void DialogWindowPort::KillLaunchTimer() {
    Deliver(pending_.KillLaunchTimer());
}

// --- Message boxes ------------------------------------------------------------------

int DialogWindowPort::ShowMessageBox(const std::string& text, unsigned flags) {
    if (OnDialogThread()) {
        // Modal to the dialog, which stays disabled while it is up; shown
        // also while the dialog is hidden in the notification area.
        return MessageBoxA(window_.load(), text.c_str(), caption_.c_str(), flags);
    }
    return ShowOwnBox(text, flags);
}

int DialogWindowPort::ShowOwnBox(const std::string& text, unsigned flags) {
    // No owner: a box owned by the dialog would disable it from this thread,
    // a message sent to the dialog's thread that may be waiting for this one.
    EnsureMessageQueue();
    const DWORD thread = GetCurrentThreadId();
    {
        std::lock_guard<std::mutex> lock(boxesMutex_);
        if (closed_) return ShutdownAnswer(flags);
        boxThreads_.insert(thread);
    }
    const int answer =
        MessageBoxA(nullptr, text.c_str(), caption_.c_str(), flags | MB_SETFOREGROUND);
    std::lock_guard<std::mutex> lock(boxesMutex_);
    boxThreads_.erase(thread);
    return closed_ ? ShutdownAnswer(flags) : answer;
}

// --- Messages, the dialog's end, the shell ------------------------------------------

void DialogWindowPort::PostDialogMessage(unsigned message, std::uintptr_t wParam,
                                         std::intptr_t lParam) {
    if (HWND window = window_.load()) PostMessageA(window, message, wParam, lParam);
}

void DialogWindowPort::EndDialog(DialogEnd how) {
    endedHow_ = how;
    ended_ = true;
    // The modal loop looks at the end after every message; one from another
    // thread wakes it.
    if (HWND window = window_.load(); window && !OnDialogThread())
        PostMessageA(window, WM_NULL, 0, 0);
}

void DialogWindowPort::OpenWithShell(const std::string& path) {
    // Called on the controller thread: under Wine the call lasts until the
    // started program is up, and the window must answer meanwhile. The shell
    // may hand the verb to an extension that COM activates, so the thread is
    // in an apartment for the call, as the shell asks of its callers.
    const ScopedComApartment apartment;
    ShellExecuteA(window_.load(), "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void DialogWindowPort::EndProgram(int exitCode) {
    exitCode_ = exitCode;
    EndDialog(DialogEnd::Close);
}

}  // namespace zel
