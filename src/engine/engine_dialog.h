// What the download engine needs of the dialog that owns it. The session
// controller implements it over the real window; tests use a recording fake.
// Every operation may be called from any thread.
#pragma once

#include <cstdint>
#include <string>

namespace zel {

// Window messages the engine posts to its dialog. They are numbered in the
// application's own range (WM_APP, 0x8000, and up): WM_USER+1 and +2 are the
// dialog manager's DM_SETDEFID and DM_REPOSITION, which a dialog receives
// from the system, and which the session would take for progress and for
// the end of a run.
constexpr unsigned WM_DOWNLOAD_PROGRESS = 0x8001;  // wParam: bytes on disk
constexpr unsigned WM_DOWNLOAD_FINISHED = 0x8002;  // wParam: failed workers, lParam: last result

// Message box answers and styles, with the system's values. Named apart
// from IDOK, MB_OK and friends, which <windows.h> defines as macros.
constexpr int kIdOk = 1;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;
constexpr unsigned kMbOk = 0x00;
constexpr unsigned kMbYesNo = 0x04;
constexpr unsigned kMbIconError = 0x10;
constexpr unsigned kMbIconQuestion = 0x20;
constexpr unsigned kMbIconInformation = 0x40;

class EngineDialog {
  public:
    virtual ~EngineDialog() = default;

    // One sentence in the status line.
    virtual void SetStatusText(const std::string& text) = 0;
    // Does nothing while the user is cancelling.
    virtual void EnablePauseButton(bool enable) = 0;
    // Blocks the caller until the connection is back (kIdYes) or the user
    // declines to wait (kIdNo), asking with the given message.
    virtual int WaitForConnection(const std::string& message) = 0;
    // A message box with the application's caption; returns the answer.
    virtual int ShowMessageBox(const std::string& text, unsigned flags) = 0;
    // Posts, never sends: the caller must never wait for the dialog's thread.
    virtual void PostDialogMessage(unsigned message, std::uintptr_t wParam,
                                   std::intptr_t lParam) = 0;
};

}  // namespace zel
