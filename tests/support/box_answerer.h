// Answers the program's message boxes the way a user would, from a thread of
// its own: it finds each box of this process (or of one other process) that
// carries the program's caption, reads its text, records it, and clicks the
// answer scripted for that text. Windows only.
#pragma once

#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zel::test {

class BoxAnswerer {
  public:
    struct Box {
        std::string caption;
        std::string text;
        HWND owner = nullptr;
        DWORD thread = 0;  // the thread that shows it
        int answer = 0;
    };

    // Watches boxes of the given process (this one by default) whose caption
    // is `caption`.
    explicit BoxAnswerer(std::string caption = "Corvanta 3",
                         DWORD processId = GetCurrentProcessId());
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    // Boxes whose text is `text` get `answer` (IDYES, IDNO, IDOK); a box
    // with no scripted answer stays up until Answer is called for it, so
    // that a test can look at it while it is shown.
    void Answer(const std::string& text, int answer);

    std::vector<Box> Answered() const;
    // Boxes on screen now, answered or not.
    std::vector<Box> Showing() const;
    // Waits until a box with this text is shown (true) or the time is up.
    bool AwaitShowing(const std::string& text, DWORD timeoutMs = 20000) const;

  private:
    void Watch();
    std::vector<HWND> FindBoxes() const;
    Box Describe(HWND box) const;

    const std::string caption_;
    const DWORD processId_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::map<std::string, int> script_;
    std::vector<Box> answered_;
    std::vector<Box> showing_;
    std::thread watcher_;
};

}  // namespace zel::test
