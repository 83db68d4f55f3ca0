// The session's DialogPort over the real main dialog window. Windows only.
//
// Any thread may call it. On the dialog's own thread a change is applied at
// once; from any other thread it is only recorded, and the dialog's thread
// is woken by a posted message to apply it: the window never waits for a
// worker, and no worker waits for the window. A message box asked for on
// another thread belongs to that thread alone and blocks only it.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>

#include "session/dialog_port.h"
#include "ui/dialog/pending_control_changes.h"

namespace zel {

class DialogWindowPort : public DialogPort {
  public:
    // Posted to the dialog to have its thread apply the recorded changes.
    static constexpr UINT kApplyChangesMessage = WM_APP + 1;

    DialogWindowPort();
    DialogWindowPort(const DialogWindowPort&) = delete;
    DialogWindowPort& operator=(const DialogWindowPort&) = delete;

    // On the dialog's thread, once its window exists: that thread is now the
    // dialog's, and whatever was recorded before is applied.
    void Attach(HWND dialog);
    // The window is going: later changes and posts go nowhere.
    void Detach();
    // On the dialog's thread: applies what other threads recorded.
    void ApplyPendingChanges();

    // The dialog has ended and the program is closing: message boxes that
    // other threads show are dismissed, and later ones are not shown. Their
    // callers get the answer a shutdown gives (Yes, or OK).
    void Close();

    bool HasEnded() const { return ended_; }
    DialogEnd EndedHow() const { return endedHow_; }
    // What the process is to exit with once the dialog has gone.
    int ExitCode() const { return exitCode_; }

    // --- DialogPort -------------------------------------------------------
    void SetStatusLine(const std::string& text) override;
    void SetProgressPosition(int percent) override;
    void EnableButton(int controlId, bool enable) override;
    void SetButtonText(int controlId, const std::string& text) override;
    int ShowMessageBox(const std::string& text, unsigned flags) override;
    void SetLaunchTimer(unsigned periodMs) override;
    void KillLaunchTimer() override;
    void PostDialogMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void EndDialog(DialogEnd how) override;
    void OpenWithShell(const std::string& path) override;
    void EndProgram(int exitCode) override;

  private:
    bool OnDialogThread() const { return GetCurrentThreadId() == dialogThread_; }
    // After a change was recorded: applies it on the dialog's thread, else
    // wakes that thread when the record was empty before.
    void Deliver(bool recordWasEmpty);
    void Apply(const ControlChanges& changes) const;
    int ShowOwnBox(const std::string& text, unsigned flags);

    const std::string caption_;
    std::atomic<DWORD> dialogThread_;
    std::atomic<HWND> window_{nullptr};
    PendingControlChanges pending_;
    std::atomic<bool> ended_{false};
    std::atomic<DialogEnd> endedHow_{DialogEnd::Close};
    std::atomic<int> exitCode_{0};
    // A wake-up post the queue refused: the next change tries again, since
    // the record is no longer empty and would not wake the dialog itself.
    std::atomic<bool> wakeRefused_{false};

    std::mutex boxesMutex_;       // guards the two below
    std::set<DWORD> boxThreads_;  // threads that show a box of their own now
    bool closed_ = false;
};

}  // namespace zel
