// The application object: the program's process-wide values, the rule that
// only one copy shows a window, and the main dialog run modally. There is one
// of it, made by the entry point and living until the process ends.
#pragma once

#include <windows.h>

#include <string>

#include "sys/win32_handles.h"
#include "ui/dialog/downloader_dlg.h"
#include "ui/dialog/process_resources.h"

namespace zel {

class CDownloaderApp {
  public:
    // Exit code of a copy that found another one running and gave way to it.
    static constexpr int kSecondCopyExitCode = 1;

    // Registers the bring-to-front message, starts GDI+ and makes the white
    // brush, before anything else runs.
    CDownloaderApp();
    CDownloaderApp(const CDownloaderApp&) = delete;
    CDownloaderApp& operator=(const CDownloaderApp&) = delete;

    // The start-up, the dialog and its end; returns the process's exit code.
    int InitInstance();

  private:
    // A first copy whose dialog is up comes to the front; true when there was one.
    bool BringPublishedCopyForward() const;
    // Creates the single-instance mutex; true when another copy made it first.
    bool CreateInstanceMutex();
    // The first copy is still starting: ask its dialog forward and end.
    [[noreturn]] void GiveWayToStartingCopy() const;
    // Runs the dialog until it ends; the process's exit code.
    int RunMainDialog();

    ProcessResources resources_;
    const std::string mutexName_;
    // Kept open while the process lives: it marks that a copy runs. Nobody
    // waits on it.
    ScopedKernelHandle mutex_;
};

}  // namespace zel
