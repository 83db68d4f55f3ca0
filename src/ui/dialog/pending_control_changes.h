// Changes to the main dialog's controls that threads other than the
// dialog's own have asked for. A worker must never touch a control itself:
// SetWindowTextA or EnableWindow on another thread's window is a sent
// message, which waits for the dialog's thread, and that thread may itself
// be waiting for the worker. So the change is recorded here and the dialog's
// thread applies the whole record when it next runs.
//
// Only the latest wish per control is kept: the window shows the last state
// asked for, and a worker that asks faster than the window applies costs no
// memory.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace zel {

// What the launch timer is to do, the latest request winning.
struct TimerRequest {
    bool set = false;  // false: kill it
    unsigned periodMs = 0;
};

struct ControlChanges {
    std::optional<std::string> statusText;
    std::optional<int> progressPosition;
    std::map<int, bool> enabled;            // by control id
    std::map<int, std::string> buttonText;  // by control id
    std::optional<TimerRequest> launchTimer;

    bool Empty() const;
};

class PendingControlChanges {
  public:
    // Each returns true when the record was empty before: the caller then
    // wakes the dialog's thread once, however many changes follow.
    bool SetStatusText(const std::string& text);
    bool SetProgressPosition(int percent);
    bool EnableButton(int controlId, bool enable);
    bool SetButtonText(int controlId, const std::string& text);
    bool SetLaunchTimer(unsigned periodMs);
    bool KillLaunchTimer();

    // Hands everything recorded to the dialog's thread and starts afresh.
    ControlChanges Take();

  private:
    template <typename Change>
    bool Record(Change change);

    std::mutex mutex_;
    ControlChanges changes_;
};

}  // namespace zel
