// The download session as its dialog sees it: the user's commands, the
// engine's two messages and the launch timer's tick go in; everything the
// session has to show comes back through the DialogPort it was made with.
// Every call is made on the dialog's thread and returns without waiting for
// another thread.
#pragma once

#include <cstdint>
#include <memory>

#include "session/dialog_port.h"

namespace zel {

class DownloadSession {
  public:
    virtual ~DownloadSession() = default;

    // Starts the first pass. When no thread can be made for it the user is
    // told in the status line and the dialog stays usable; false then.
    virtual bool StartSessionThread() = 0;

    // The engine's progress and finished messages; false for any other.
    virtual bool HandleDialogMessage(unsigned message, std::uintptr_t wParam,
                                     std::intptr_t lParam) = 0;
    // The tick of kLaunchTimerId.
    virtual void OnLaunchTimer() = 0;

    // The buttons.
    virtual void OnPauseResume() = 0;
    virtual void OnRestart() = 0;
    virtual void OnCancelDownload() = 0;
};

// The program's session: the built-in manifest address, the real pacing and
// the system's internet library. Throws std::bad_alloc when it cannot be
// made.
std::unique_ptr<DownloadSession> MakeProgramSession(DialogPort& port);

}  // namespace zel
