// An EngineDialog that records every call and answers the questions from a
// script, for tests of the engine without a window. Safe to call from any
// thread.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/engine_dialog.h"

namespace zel::test {

class RecordingEngineDialog : public EngineDialog {
  public:
    struct PostedMessage {
        unsigned message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    struct MessageBoxCall {
        std::string text;
        unsigned flags;
    };

    // Answers to WaitForConnection, in order; kIdNo once they run out.
    void ScriptConnectionAnswers(std::vector<int> answers) {
        std::lock_guard<std::mutex> lock(mutex_);
        connectionAnswers_.assign(answers.begin(), answers.end());
    }
    // Runs on every WaitForConnection before it answers (e.g. to bring the
    // connection back, as the real prompt waits for it).
    void OnWaitForConnection(std::function<void()> action) {
        std::lock_guard<std::mutex> lock(mutex_);
        onWait_ = std::move(action);
    }
    // Answer to every message box; kIdOk unless set.
    void ScriptMessageBoxAnswer(int answer) {
        std::lock_guard<std::mutex> lock(mutex_);
        messageBoxAnswer_ = answer;
    }

    void SetStatusText(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        statusTexts_.push_back(text);
    }
    void EnablePauseButton(bool enable) override {
        std::lock_guard<std::mutex> lock(mutex_);
        pauseButtonCalls_.push_back(enable);
    }
    int WaitForConnection(const std::string& message) override {
        std::function<void()> action;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            connectionPrompts_.push_back(message);
            action = onWait_;
        }
        if (action) action();
        std::lock_guard<std::mutex> lock(mutex_);
        if (connectionAnswers_.empty()) return kIdNo;
        int answer = connectionAnswers_.front();
        connectionAnswers_.pop_front();
        return answer;
    }
    int ShowMessageBox(const std::string& text, unsigned flags) override {
        std::lock_guard<std::mutex> lock(mutex_);
        messageBoxes_.push_back({text, flags});
        return messageBoxAnswer_;
    }
    void PostDialogMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        std::lock_guard<std::mutex> lock(mutex_);
        posted_.push_back({message, wParam, lParam});
    }

    std::vector<std::string> StatusTexts() const { return Copy(statusTexts_); }
    std::vector<bool> PauseButtonCalls() const { return Copy(pauseButtonCalls_); }
    std::vector<std::string> ConnectionPrompts() const { return Copy(connectionPrompts_); }
    std::vector<MessageBoxCall> MessageBoxes() const { return Copy(messageBoxes_); }
    std::vector<PostedMessage> Posted() const { return Copy(posted_); }

  private:
    template <typename T>
    T Copy(const T& value) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return value;
    }

    mutable std::mutex mutex_;
    std::deque<int> connectionAnswers_;
    std::function<void()> onWait_;
    int messageBoxAnswer_ = kIdOk;
    std::vector<std::string> statusTexts_;
    std::vector<bool> pauseButtonCalls_;
    std::vector<std::string> connectionPrompts_;
    std::vector<MessageBoxCall> messageBoxes_;
    std::vector<PostedMessage> posted_;
};

}  // namespace zel::test
