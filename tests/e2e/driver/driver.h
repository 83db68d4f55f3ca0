// The UI driver: works the real program's windows from another process the
// way a user would, one step after another, and prints one line per step
// ("ok ..." or "FAIL ...") for the script that runs it. The first step that
// fails ends the run with exit code 1; a malformed step list gives 2.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "await_condition.h"

namespace zel::e2e {

struct StepResult {
    bool ok = false;
    std::string detail;  // printed after the step: what was seen or what was wrong
};

class Driver {
  public:
    explicit Driver(DriverTimings timings) : timings_(timings) {}

    int Run(const std::vector<std::string>& words);

    // The steps with their arguments, one per line.
    static std::string Usage();

  private:
    using Args = std::vector<std::string>;
    using StepFunction = StepResult (Driver::*)(const Args&);
    struct Step {
        const char* name;
        const char* arguments;  // for the usage text; their number is the step's arity
        StepFunction run;
    };
    static const std::vector<Step>& Steps();
    static int Arity(const Step& step);

    // Awaits the condition for the step's time-out (seconds, given as text);
    // on failure the report says what is there instead.
    StepResult Await(const std::string& seconds, const std::function<bool()>& condition,
                     const std::function<std::string()>& instead) const;
    // Awaits the main dialog and hands it to the check.
    StepResult AwaitDialog(const std::string& seconds,
                           const std::function<bool(HWND)>& condition) const;
    std::string Snapshot() const;

    // The main dialog (dialog_steps.cpp).
    StepResult WaitDialog(const Args& args);
    StepResult WaitGone(const Args& args);
    StepResult WaitShown(const Args& args);
    StepResult WaitHidden(const Args& args);
    StepResult WaitIconic(const Args& args);
    StepResult WaitForeground(const Args& args);
    StepResult WaitBackground(const Args& args);
    StepResult SysCommand(const Args& args);
    StepResult WaitText(const Args& args);
    StepResult ExpectText(const Args& args);
    StepResult WaitEnabled(const Args& args);
    StepResult WaitDisabled(const Args& args);
    StepResult Click(const Args& args);
    StepResult RememberRect(const Args& args);
    StepResult ExpectSameRect(const Args& args);
    StepResult PrintRect(const Args& args);
    StepResult PrintText(const Args& args);
    StepResult Describe(const Args& args);

    // The progress bar (progress_steps.cpp).
    StepResult WaitProgress(const Args& args);
    StepResult WaitProgressRise(const Args& args);
    StepResult WatchProgress(const Args& args);
    StepResult PrintProgress(const Args& args);

    // Message boxes (prompt_steps.cpp).
    StepResult Answer(const Args& args);
    StepResult ObserveNoMessageBox(const Args& args);

    // The notification-area icon and its menu (icon_steps.cpp).
    StepResult Tray(const Args& args);
    StepResult MenuChoose(const Args& args);
    StepResult IconMenuChoose(const Args& args);
    StepResult ChooseFromMenu(HWND menu, DWORD processId, int position, const std::string& seconds);

    // Other windows and the registry (system_steps.cpp).
    StepResult WaitWindow(const Args& args);
    StepResult CloseWindow(const Args& args);
    StepResult PrintWindowRect(const Args& args);
    StepResult RegistryDelete(const Args& args);
    StepResult WaitRegistry(const Args& args);

    // The tests' certificate authority in the prefix (certificate_steps.cpp).
    StepResult TrustRootCertificate(const Args& args);
    // Answer times and commands (answer_steps.cpp).
    StepResult SampleAnswers(const Args& args);
    StepResult Command(const Args& args);
    // Another program's attack on a file the program holds (file_steps.cpp).
    StepResult ContendFile(const Args& args);

    DriverTimings timings_;
    RECT rememberedRect_ = {};
    bool hasRememberedRect_ = false;
};

// Step arguments.
DWORD SecondsToMs(const std::string& seconds);
bool ParseInt(const std::string& text, int& value);
// "\n" in a step's text argument stands for a line break.
std::string Unescape(const std::string& text);
// Text matches a pattern that is literal except for a final '*' (any rest).
bool MatchesPattern(const std::string& text, const std::string& pattern);
std::string DescribeRect(const RECT& rect);
std::string Quoted(const std::string& text);

}  // namespace zel::e2e
