#include "support/scripted_dialog.h"

#include "session/session_controller.h"

namespace zel::test {

ScriptedDialog::ScriptedDialog() : dialogThread_(std::this_thread::get_id()) {
    // The states the dialog's layout leaves before the first session starts.
    buttons_[kPauseButtonId] = {false, "Pause"};
    buttons_[kRestartButtonId] = {false, "Restart"};
    buttons_[kCancelButtonId] = {true, "Cancel"};
}

void ScriptedDialog::Answer(const std::string& text, int answer, std::function<void()> action) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_.push_back({text, answer, std::move(action)});
}

bool ScriptedDialog::PumpUntil(const std::function<bool()>& done,
                               std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() >= deadline) return false;
        DispatchOne(std::chrono::milliseconds(5));
    }
    return true;
}

void ScriptedDialog::PumpFor(std::chrono::milliseconds time) {
    PumpUntil([] { return false; }, time);
}

bool ScriptedDialog::DispatchOne(std::chrono::milliseconds maxWait) {
    Message next{};
    {
        std::unique_lock<std::mutex> lock(mutex_);
        const auto deadline = Clock::now() + maxWait;
        for (;;) {
            if (!queue_.empty()) {
                next = queue_.front();
                queue_.pop_front();
                break;
            }
            if (timerDue_ && Clock::now() >= *timerDue_) {
                timerDue_.reset();
                next = {0x0113 /* WM_TIMER */, kLaunchTimerId, 0};
                break;
            }
            auto until = deadline;
            if (timerDue_ && *timerDue_ < until) until = *timerDue_;
            if (Clock::now() >= deadline) return false;
            arrived_.wait_until(lock, until);
        }
        if (ended_) return true;  // the modal loop is gone: nothing reaches the handlers
    }
    Dispatch(next);
    return true;
}

void ScriptedDialog::Dispatch(const Message& message) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++handled_[message.message];
    }
    if (controller_ == nullptr) return;
    if (message.message == 0x0113) {
        controller_->OnLaunchTimer();
        return;
    }
    if (message.message == WM_DOWNLOAD_FINISHED) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++finishedSeen_;
    }
    controller_->HandleDialogMessage(message.message, message.wParam, message.lParam);
}

// --- Records ------------------------------------------------------------------

std::vector<ScriptedDialog::StatusLine> ScriptedDialog::StatusLines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return statusLines_;
}

std::vector<std::string> ScriptedDialog::StatusTexts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> texts;
    for (const auto& line : statusLines_) texts.push_back(line.text);
    return texts;
}

std::string ScriptedDialog::Status() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return statusLines_.empty() ? std::string() : statusLines_.back().text;
}

bool ScriptedDialog::SawStatus(const std::string& text) const {
    for (const auto& seen : StatusTexts()) {
        if (seen == text) return true;
    }
    return false;
}

ScriptedDialog::Button ScriptedDialog::ButtonState(int controlId) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = buttons_.find(controlId);
    return found == buttons_.end() ? Button{} : found->second;
}

std::vector<std::string> ScriptedDialog::ButtonTexts(int controlId) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = buttonTexts_.find(controlId);
    return found == buttonTexts_.end() ? std::vector<std::string>() : found->second;
}

std::vector<std::string> ScriptedDialog::ButtonEvents() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return buttonEvents_;
}

std::vector<ScriptedDialog::Box> ScriptedDialog::Boxes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

bool ScriptedDialog::SawBox(const std::string& text) const {
    for (const auto& box : Boxes()) {
        if (box.text == text) return true;
    }
    return false;
}

std::vector<int> ScriptedDialog::ProgressPositions() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return progress_;
}

std::vector<std::string> ScriptedDialog::Launches() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return launches_;
}

std::optional<DialogEnd> ScriptedDialog::Ended() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ended_;
}

std::optional<int> ScriptedDialog::ExitCode() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return exitCode_;
}

int ScriptedDialog::TimersSet() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return timersSet_;
}

std::uintptr_t ScriptedDialog::FinishedMessagesSeen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return finishedSeen_;
}

std::size_t ScriptedDialog::Handled(unsigned message) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = handled_.find(message);
    return found == handled_.end() ? 0 : found->second;
}

// --- DialogPort -----------------------------------------------------------------

void ScriptedDialog::SetStatusLine(const std::string& text) {
    volatile char mark = 0;
    std::lock_guard<std::mutex> lock(mutex_);
    statusLines_.push_back({text, std::this_thread::get_id() == dialogThread_,
                            reinterpret_cast<std::uintptr_t>(&mark)});
}

void ScriptedDialog::SetProgressPosition(int percent) {
    std::lock_guard<std::mutex> lock(mutex_);
    progress_.push_back(percent);
}

void ScriptedDialog::EnableButton(int controlId, bool enable) {
    std::lock_guard<std::mutex> lock(mutex_);
    buttons_[controlId].enabled = enable;
    buttonEvents_.push_back(std::to_string(controlId) + (enable ? " on" : " off"));
}

void ScriptedDialog::SetButtonText(int controlId, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    buttons_[controlId].text = text;
    buttonTexts_[controlId].push_back(text);
    buttonEvents_.push_back(std::to_string(controlId) + " " + text);
}

int ScriptedDialog::ShowMessageBox(const std::string& text, unsigned flags) {
    std::function<void()> action;
    int answer = (flags & kMbYesNo) == kMbYesNo ? kIdNo : kIdOk;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = script_.begin(); it != script_.end(); ++it) {
            if (it->text != text) continue;
            answer = it->answer;
            action = std::move(it->action);
            script_.erase(it);
            break;
        }
        boxes_.push_back({text, flags, answer});
    }
    if (action) action();
    return answer;
}

void ScriptedDialog::SetLaunchTimer(unsigned periodMs) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++timersSet_;
        timerDue_ = Clock::now() + std::chrono::milliseconds(periodMs);
    }
    arrived_.notify_all();
}

void ScriptedDialog::KillLaunchTimer() {
    std::lock_guard<std::mutex> lock(mutex_);
    timerDue_.reset();
}

void ScriptedDialog::PostDialogMessage(unsigned message, std::uintptr_t wParam,
                                       std::intptr_t lParam) {
    if (refusePosts_) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back({message, wParam, lParam});
    }
    arrived_.notify_all();
}

void ScriptedDialog::EndDialog(DialogEnd how) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!ended_) ended_ = how;
}

void ScriptedDialog::OpenWithShell(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    launches_.push_back(path);
}

void ScriptedDialog::EndProgram(int exitCode) {
    std::lock_guard<std::mutex> lock(mutex_);
    exitCode_ = exitCode;
    if (!ended_) ended_ = DialogEnd::Close;
}

}  // namespace zel::test
