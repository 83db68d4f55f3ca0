// A dialog for whole-session tests: it implements the DialogPort like the
// real main dialog, but its window is a message queue on the test's thread
// (the "dialog thread"). Posted messages and the launch timer wait in the
// queue until the test pumps them; pumping dispatches them to the session
// controller as the real dialog's window procedure would. Message boxes are
// answered from a script. Everything the session does to the window is
// recorded. Control changes and posts are safe from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "session/dialog_port.h"

namespace zel {
class SessionController;
}

namespace zel::test {

class ScriptedDialog : public DialogPort {
  public:
    struct Box {
        std::string text;
        unsigned flags = 0;
        int answer = 0;
    };
    struct StatusLine {
        std::string text;
        bool fromDialogThread = false;
        std::uintptr_t stackMark = 0;  // where the caller's stack stood
    };
    struct Button {
        bool enabled = true;
        std::string text;
    };

    ScriptedDialog();

    // The handlers that pumped messages are dispatched to.
    void Attach(SessionController& controller) { controller_ = &controller; }

    // The next message box whose text is `text` gets `answer`; `action`, when
    // given, runs first (e.g. to bring the connection back). Unscripted boxes
    // get kIdOk, or kIdNo when they ask Yes or No.
    void Answer(const std::string& text, int answer, std::function<void()> action = {});

    // Pumps queued messages and the timer until done() holds or the time is
    // up; true when done() held.
    bool PumpUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds timeout = std::chrono::seconds(20));
    bool PumpUntilEnded(std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        return PumpUntil([this] { return Ended().has_value(); }, timeout);
    }
    // Pumps for a while whatever happens (to see that nothing more comes).
    void PumpFor(std::chrono::milliseconds time);

    // --- Records ----------------------------------------------------------
    std::vector<StatusLine> StatusLines() const;
    std::vector<std::string> StatusTexts() const;
    std::string Status() const;
    bool SawStatus(const std::string& text) const;
    Button ButtonState(int controlId) const;
    std::vector<std::string> ButtonTexts(int controlId) const;  // every text set, in order
    // Every button change in order: "1002 off", "1002 on", "1002 Pausing...".
    std::vector<std::string> ButtonEvents() const;
    std::vector<Box> Boxes() const;
    bool SawBox(const std::string& text) const;
    std::vector<int> ProgressPositions() const;
    std::vector<std::string> Launches() const;
    std::optional<DialogEnd> Ended() const;
    std::optional<int> ExitCode() const;
    int TimersSet() const;
    std::uintptr_t FinishedMessagesSeen() const;
    // How many posted messages with this number the dialog's thread handled.
    std::size_t Handled(unsigned message) const;
    // From now on every post is refused, as by a queue that is full.
    void RefusePosts() { refusePosts_ = true; }

    // --- DialogPort -------------------------------------------------------
    void SetStatusLine(const std::string& text) override;
    void SetProgressPosition(int percent) override;
    void EnableButton(int controlId, bool enable) override;
    void SetButtonText(int controlId, const std::string& text) override;
    int ShowMessageBox(const std::string& text, unsigned flags) override;
    void SetLaunchTimer(unsigned periodMs) override;
    void KillLaunchTimer() override;
    void PostDialogMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void EndDialog(DialogEnd how) override;
    void OpenWithShell(const std::string& path) override;
    void EndProgram(int exitCode) override;

  private:
    using Clock = std::chrono::steady_clock;
    struct Message {
        unsigned message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    struct ScriptedAnswer {
        std::string text;
        int answer;
        std::function<void()> action;
    };

    // Takes one message (or the timer's tick) within maxWait and dispatches it.
    bool DispatchOne(std::chrono::milliseconds maxWait);
    void Dispatch(const Message& message);

    const std::thread::id dialogThread_;
    SessionController* controller_ = nullptr;

    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Message> queue_;
    std::optional<Clock::time_point> timerDue_;
    int timersSet_ = 0;
    std::uintptr_t finishedSeen_ = 0;
    std::map<unsigned, std::size_t> handled_;
    std::atomic<bool> refusePosts_{false};

    std::vector<ScriptedAnswer> script_;
    std::vector<StatusLine> statusLines_;
    std::map<int, Button> buttons_;
    std::map<int, std::vector<std::string>> buttonTexts_;
    std::vector<std::string> buttonEvents_;
    std::vector<Box> boxes_;
    std::vector<int> progress_;
    std::vector<std::string> launches_;
    std::optional<DialogEnd> ended_;
    std::optional<int> exitCode_;
};

}  // namespace zel::test
