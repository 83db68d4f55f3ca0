// The narrow window through which the download session reaches its dialog.
// The Win32 main dialog implements it with real controls and PostMessageA;
// the tests implement it with a scripted dialog that keeps its own queue.
// Nothing here makes the caller wait for the dialog's thread, and nothing
// the dialog's thread calls here waits for another thread.
#pragma once

#include <cstdint>
#include <string>

#include "engine/engine_dialog.h"

namespace zel {

// Controls of the main dialog that the session changes.
inline constexpr int kProgressBarId = 1000;
inline constexpr int kStatusTextId = 1001;
inline constexpr int kPauseButtonId = 1002;
inline constexpr int kRestartButtonId = 1003;
inline constexpr int kCancelButtonId = 2;

// The launch timer of a package found complete and verified.
inline constexpr unsigned kLaunchTimerId = 1001;

// The process's exit code when no internet session could be opened although
// the machine is online (the internet library missing or refusing). 1 is a
// second copy's; 0 is a user who declined to wait for the connection.
inline constexpr int kExitNoInternetSession = 2;

// How the dialog ends: closed by the session (the program then quits) or
// cancelled by the user's confirmed Cancel.
enum class DialogEnd { Close, Cancel };

class DialogPort {
  public:
    virtual ~DialogPort() = default;

    // Control changes; callable from any thread, carried to the dialog's thread.
    virtual void SetStatusLine(const std::string& text) = 0;
    virtual void SetProgressPosition(int percent) = 0;  // 0..100
    virtual void EnableButton(int controlId, bool enable) = 0;
    virtual void SetButtonText(int controlId, const std::string& text) = 0;

    // Shows a message box with the application's title as caption and blocks
    // the calling thread until it is answered; returns kIdOk, kIdYes or kIdNo.
    virtual int ShowMessageBox(const std::string& text, unsigned flags) = 0;

    // Timer kLaunchTimerId on the dialog; its tick reaches the session's
    // OnLaunchTimer on the dialog's thread.
    virtual void SetLaunchTimer(unsigned periodMs) = 0;
    virtual void KillLaunchTimer() = 0;

    // Queues a message for the dialog's thread without waiting for it.
    virtual void PostDialogMessage(unsigned message, std::uintptr_t wParam,
                                   std::intptr_t lParam) = 0;

    virtual void EndDialog(DialogEnd how) = 0;

    // Opens the package with the shell's "open" verb, normally shown, with
    // the dialog as the owner of whatever the shell shows. May take as long
    // as the shell does: never called on the dialog's thread.
    virtual void OpenWithShell(const std::string& path) = 0;

    // Ends the program through the dialog, as every other end does (the
    // icon, the panel and the rest go in order), and has the process exit
    // with exitCode.
    virtual void EndProgram(int exitCode) = 0;
};

}  // namespace zel
