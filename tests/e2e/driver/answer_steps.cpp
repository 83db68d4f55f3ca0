// How promptly the program's window answers, seen from outside: a sample
// every 20 ms of the time the main dialog takes to answer WM_NULL, for the
// end-to-end suite's summary (measured, never a pass/fail threshold); and
// commands sent as the dialog's buttons send them, also for a hidden one.
#include <cstdio>

#include "driver.h"
#include "program_windows.h"

namespace zel::e2e {

namespace {

constexpr DWORD kSampleEveryMs = 20;
// Far longer than any answer the program should take: a window that does
// not answer within it is counted at this value.
constexpr UINT kLongestAnswerMs = 60000;
// Between 1601-01-01 (FILETIME) and 1970-01-01, in 100 ns units.
constexpr unsigned long long kUnixEpochAsFileTime = 116444736000000000ULL;

// Wall-clock milliseconds since 1970, to line samples up with the script's
// own times (date +%s%3N).
unsigned long long UnixMs() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const unsigned long long ticks =
        (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return (ticks - kUnixEpochAsFileTime) / 10000;
}

double ElapsedMs(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

}  // namespace

StepResult Driver::SampleAnswers(const Args& args) {
    const DWORD limitMs = SecondsToMs(args[1]);
    HWND dialog = nullptr;
    if (!AwaitCondition([&] { return (dialog = FindMainDialog()) != nullptr; }, limitMs,
                        timings_.pollMs))
        return {false, "no main dialog"};
    FILE* out = std::fopen(args[0].c_str(), "w");
    if (!out) return {false, "cannot write " + Quoted(args[0])};
    const DWORD start = GetTickCount();
    unsigned samples = 0;
    double longest = 0;
    while (IsWindow(dialog) && GetTickCount() - start < limitMs) {
        const unsigned long long at = UnixMs();
        LARGE_INTEGER before, after;
        QueryPerformanceCounter(&before);
        DWORD_PTR result = 0;
        const bool answered =
            SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, kLongestAnswerMs, &result) != 0;
        QueryPerformanceCounter(&after);
        // A window destroyed while asked did not answer for all that time
        // (a launch that holds the dialog's thread until the window goes).
        const bool gone = !answered && !IsWindow(dialog);
        const double ms = answered || gone ? ElapsedMs(before, after) : double(kLongestAnswerMs);
        std::fprintf(out, "%llu %.1f\n", at, ms);
        std::fflush(out);
        ++samples;
        if (ms > longest) longest = ms;
        if (gone) break;
        Sleep(kSampleEveryMs);
    }
    std::fclose(out);
    char detail[96];
    std::snprintf(detail, sizeof detail, "%u samples, longest answer %.1f ms", samples, longest);
    return {true, detail};
}

StepResult Driver::Command(const Args& args) {
    int id = 0;
    if (!ParseInt(args[0], id)) return {false, "bad command id"};
    HWND dialog = FindMainDialog();
    if (!dialog) return {false, "no main dialog"};
    HWND control = GetDlgItem(dialog, id);
    return {PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(control)) != FALSE,
            "command " + args[0]};
}

}  // namespace zel::e2e
