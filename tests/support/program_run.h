// The built program (ZelDownloader.exe beside the test program's folder)
// run as a process of its own, the way a user starts it. Windows only.
//
// Its manifest address is the one built in. So that nothing leaves the
// machine, the run is given a proxy on a closed loopback port: the internet
// library sends every request there, refused at once, and never looks the
// manifest's host up. (Wine's library takes the proxy from http_proxy.)
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "sys/win32_handles.h"

namespace zel::test {

// Polls done() until it holds (true) or the time is up.
bool Await(const std::function<bool()>& done, DWORD timeoutMs = 30000);

// The built program's path.
std::string ProgramPath();

// The program's main dialog in the given process (not one of its message
// boxes, which carry the same class and caption); null when there is none.
HWND FindProgramDialog(DWORD processId);
// How many windows of the program's main dialog exist, in any process.
int CountProgramDialogs();

class ProgramRun {
  public:
    ProgramRun();
    // Ends the process if it still runs.
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool Started() const { return process_.IsValid(); }
    DWORD ProcessId() const { return processId_; }

    // Waits for the program's dialog to be up; null when the time is up.
    HWND AwaitDialog(DWORD timeoutMs = 60000) const;
    // Waits for the process to end; true with its exit code.
    bool AwaitExit(DWORD* exitCode, DWORD timeoutMs = 60000) const;
    // Ends the program as a user does: Cancel, then Yes to the question.
    // True when it then ended with exit code 0.
    bool EndThroughCancel() const;

  private:
    ScopedKernelHandle process_;
    DWORD processId_ = 0;
};

}  // namespace zel::test
