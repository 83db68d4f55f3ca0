#include "driver.h"

#include <cstdio>
#include <cstdlib>

#include "dialog_state.h"
#include "program_windows.h"

namespace zel::e2e {

const std::vector<Driver::Step>& Driver::Steps() {
    static const std::vector<Step> steps = {
        {"wait-dialog", "SECONDS", &Driver::WaitDialog},
        {"wait-gone", "SECONDS", &Driver::WaitGone},
        {"wait-shown", "SECONDS", &Driver::WaitShown},
        {"wait-hidden", "SECONDS", &Driver::WaitHidden},
        {"wait-iconic", "SECONDS", &Driver::WaitIconic},
        {"wait-foreground", "SECONDS", &Driver::WaitForeground},
        {"wait-background", "SECONDS", &Driver::WaitBackground},
        {"syscommand", "close|minimize|restore", &Driver::SysCommand},
        {"wait-text", "ID TEXT SECONDS", &Driver::WaitText},
        {"expect-text", "ID TEXT", &Driver::ExpectText},
        {"wait-enabled", "ID SECONDS", &Driver::WaitEnabled},
        {"wait-disabled", "ID SECONDS", &Driver::WaitDisabled},
        {"click", "ID", &Driver::Click},
        {"remember-rect", "", &Driver::RememberRect},
        {"expect-same-rect", "", &Driver::ExpectSameRect},
        {"print-rect", "", &Driver::PrintRect},
        {"print-text", "ID", &Driver::PrintText},
        {"describe", "", &Driver::Describe},
        {"wait-progress", "PERCENT SECONDS", &Driver::WaitProgress},
        {"wait-progress-rise", "PERCENT SECONDS", &Driver::WaitProgressRise},
        {"watch-progress", "SECONDS", &Driver::WatchProgress},
        {"print-progress", "", &Driver::PrintProgress},
        {"answer", "TEXT yes|no|ok SECONDS", &Driver::Answer},
        {"observe-no-message-box", "SECONDS", &Driver::ObserveNoMessageBox},
        {"tray", "click|right-click", &Driver::Tray},
        {"menu-choose", "POSITION SECONDS", &Driver::MenuChoose},
        {"icon-menu-choose", "POSITION SECONDS", &Driver::IconMenuChoose},
        {"wait-window", "CLASS SECONDS", &Driver::WaitWindow},
        {"close-window", "CLASS SECONDS", &Driver::CloseWindow},
        {"print-window-rect", "CLASS", &Driver::PrintWindowRect},
        {"registry-delete", "", &Driver::RegistryDelete},
        {"wait-registry", "NAME VALUE SECONDS", &Driver::WaitRegistry},
        {"trust-root-certificate", "DER_FILE", &Driver::TrustRootCertificate},
        {"sample-answers", "FILE SECONDS", &Driver::SampleAnswers},
        {"command", "ID", &Driver::Command},
        {"contend-file", "PATH REPLACEMENT UNTIL_STATUS SECONDS", &Driver::ContendFile},
    };
    return steps;
}

int Driver::Arity(const Step& step) {
    int count = 0;
    bool inWord = false;
    for (const char* c = step.arguments; *c; ++c) {
        if (*c != ' ' && !inWord) ++count;
        inWord = *c != ' ';
    }
    return count;
}

std::string Driver::Usage() {
    std::string text = "usage: ui_driver STEP [ARGUMENTS] [STEP [ARGUMENTS]]...\nsteps:\n";
    for (const Step& step : Steps()) {
        text += std::string("  ") + step.name + " " + step.arguments + "\n";
    }
    return text;
}

int Driver::Run(const std::vector<std::string>& words) {
    for (std::size_t at = 0; at < words.size();) {
        const Step* step = nullptr;
        for (const Step& candidate : Steps()) {
            if (words[at] == candidate.name) step = &candidate;
        }
        if (!step || at + 1 + Arity(*step) > words.size()) {
            std::fprintf(stderr, "ui_driver: bad step \"%s\"\n%s", words[at].c_str(),
                         Usage().c_str());
            return 2;
        }
        Args args(words.begin() + at + 1, words.begin() + at + 1 + Arity(*step));
        std::string shown = step->name;
        for (const std::string& arg : args) shown += " " + Quoted(arg);
        const DWORD start = GetTickCount();
        StepResult result = (this->*step->run)(args);
        const double seconds = (GetTickCount() - start) / 1000.0;
        std::printf("ui_driver: %s %s (%.1f s)%s%s\n", result.ok ? "ok  " : "FAIL", shown.c_str(),
                    seconds, result.detail.empty() ? "" : ": ", result.detail.c_str());
        if (!result.ok) {
            std::printf("ui_driver: now: %s\n", Snapshot().c_str());
            std::fflush(stdout);
            return 1;
        }
        std::fflush(stdout);
        at += 1 + Arity(*step);
    }
    return 0;
}

StepResult Driver::Await(const std::string& seconds, const std::function<bool()>& condition,
                         const std::function<std::string()>& instead) const {
    if (AwaitCondition(condition, SecondsToMs(seconds), timings_.pollMs)) return {true, ""};
    return {false, "after " + seconds + " s: " + instead()};
}

StepResult Driver::AwaitDialog(const std::string& seconds,
                               const std::function<bool(HWND)>& condition) const {
    return Await(
        seconds,
        [&] {
            HWND dialog = FindMainDialog();
            return dialog && condition(dialog);
        },
        [&] { return DescribeDialog(FindMainDialog(), timings_.messageTimeoutMs); });
}

std::string Driver::Snapshot() const {
    std::string text = DescribeDialog(FindMainDialog(), timings_.messageTimeoutMs);
    for (const std::string& box : MessageBoxTexts()) text += "; message box " + Quoted(box);
    return text;
}

DWORD SecondsToMs(const std::string& seconds) {
    double value = std::strtod(seconds.c_str(), nullptr);
    return value <= 0 ? 0 : static_cast<DWORD>(value * 1000.0);
}

bool ParseInt(const std::string& text, int& value) {
    char* end = nullptr;
    long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0') return false;
    value = static_cast<int>(parsed);
    return true;
}

std::string Unescape(const std::string& text) {
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            result += '\n';
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

bool MatchesPattern(const std::string& text, const std::string& pattern) {
    if (!pattern.empty() && pattern.back() == '*') {
        return text.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
    }
    return text == pattern;
}

std::string DescribeRect(const RECT& rect) {
    return std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
           std::to_string(rect.right - rect.left) + " " + std::to_string(rect.bottom - rect.top);
}

std::string Quoted(const std::string& text) {
    std::string result = "\"";
    for (char c : text) result += c == '\n' ? std::string("\\n") : std::string(1, c);
    return result + "\"";
}

}  // namespace zel::e2e
