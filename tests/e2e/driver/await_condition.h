// Waiting for a change in another process's windows. The program under test
// tells nobody when its windows change, so the driver looks again and again
// until the change is there or the time-out has passed.
#pragma once

#include <windows.h>

#include <functional>

namespace zel::e2e {

// The driver's own pacing.
struct DriverTimings {
    DWORD pollMs = 20;              // between two looks at the windows
    DWORD messageTimeoutMs = 2000;  // a sent message the program does not answer in time
};

// Looks at the condition every pollMs until it holds (true) or timeoutMs
// has passed (false). The condition is always looked at at least once.
bool AwaitCondition(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs);

}  // namespace zel::e2e
