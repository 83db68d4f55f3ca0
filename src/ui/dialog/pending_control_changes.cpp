#include "ui/dialog/pending_control_changes.h"

#include <utility>

namespace zel {

bool ControlChanges::Empty() const {
    return !statusText && !progressPosition && enabled.empty() && buttonText.empty() &&
           !launchTimer;
}

template <typename Change>
bool PendingControlChanges::Record(Change change) {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool wasEmpty = changes_.Empty();
    change(changes_);
    return wasEmpty;
}

bool PendingControlChanges::SetStatusText(const std::string& text) {
    return Record([&](ControlChanges& c) { c.statusText = text; });
}

bool PendingControlChanges::SetProgressPosition(int percent) {
    return Record([&](ControlChanges& c) { c.progressPosition = percent; });
}

bool PendingControlChanges::EnableButton(int controlId, bool enable) {
    return Record([&](ControlChanges& c) { c.enabled[controlId] = enable; });
}

bool PendingControlChanges::SetButtonText(int controlId, const std::string& text) {
    return Record([&](ControlChanges& c) { c.buttonText[controlId] = text; });
}

bool PendingControlChanges::SetLaunchTimer(unsigned periodMs) {
    return Record([&](ControlChanges& c) { c.launchTimer = TimerRequest{true, periodMs}; });
}

bool PendingControlChanges::KillLaunchTimer() {
    return Record([&](ControlChanges& c) { c.launchTimer = TimerRequest{false, 0}; });
}

ControlChanges PendingControlChanges::Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(changes_, ControlChanges());
}

}  // namespace zel
