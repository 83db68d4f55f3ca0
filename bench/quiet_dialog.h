// The dialog reduced to what a session needs, for measurements that run the
// real session controller and engine without a window.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "session/session_controller.h"

namespace zel::bench {

// The dialog reduced to what a session needs: its posted messages handled in
// order on a thread of its own, as the dialog's thread would.
class QuietDialog : public zel::DialogPort {
  public:
    ~QuietDialog() override { Stop(); }
    void Attach(zel::SessionController& controller) {
        controller_ = &controller;
        thread_ = std::thread([this] { Loop(); });
    }
    void Stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) thread_.join();
    }
    bool Ended() const { return ended_.load(); }

    void SetStatusLine(const std::string&) override {}
    void SetProgressPosition(int) override {}
    void EnableButton(int, bool) override {}
    void SetButtonText(int, const std::string&) override {}
    int ShowMessageBox(const std::string& text, unsigned) override {
        std::fprintf(stderr, "message box: %s\n", text.c_str());
        return zel::kIdYes;
    }
    void SetLaunchTimer(unsigned) override { Post(kLaunchTick, 0, 0); }
    void KillLaunchTimer() override {}
    void PostDialogMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        Post(message, wParam, lParam);
    }
    void HandleOnePendingMessage(unsigned maxWaitMs) {
        Message next;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (!changed_.wait_for(lock, std::chrono::milliseconds(maxWaitMs),
                                   [this] { return !queue_.empty() || stopping_; }) ||
                queue_.empty())
                return;
            next = queue_.front();
            queue_.pop_front();
        }
        Deliver(next);
    }
    void EndDialog(zel::DialogEnd) override { ended_ = true; }
    void OpenWithShell(const std::string&) override {}
    void EndProgram(int code) override {
        std::fprintf(stderr, "program end %d\n", code);
        ended_ = true;
    }

  private:
    static constexpr unsigned kLaunchTick = 0xFFFF;
    struct Message {
        unsigned message = 0;
        std::uintptr_t wParam = 0;
        std::intptr_t lParam = 0;
    };
    void Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back({message, wParam, lParam});
        }
        changed_.notify_all();
    }
    void Deliver(const Message& m) {
        if (m.message == kLaunchTick)
            controller_->OnLaunchTimer();
        else
            controller_->HandleDialogMessage(m.message, m.wParam, m.lParam);
    }
    void Loop() {
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (stopping_) return;
            }
            HandleOnePendingMessage(50);
        }
    }

    zel::SessionController* controller_ = nullptr;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Message> queue_;
    bool stopping_ = false;
    std::atomic<bool> ended_{false};
};

}  // namespace zel::bench
