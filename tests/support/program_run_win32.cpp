#include <chrono>
#include <vector>

#include "session/session_texts.h"
#include "support/box_answerer.h"
#include "support/program_run.h"
#include "support/top_level_windows.h"

namespace zel::test {

namespace {

constexpr const char* kClosedLoopbackProxy = "http_proxy=http://127.0.0.1:9";

// This process's environment with the proxy in place of any of its own.
std::vector<char> ProgramEnvironment() {
    std::vector<char> block;
    LPCH strings = GetEnvironmentStringsA();
    for (const char* entry = strings; *entry; entry += lstrlenA(entry) + 1) {
        if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, entry, 11, "http_proxy=", 11) ==
            CSTR_EQUAL)
            continue;
        block.insert(block.end(), entry, entry + lstrlenA(entry) + 1);
    }
    FreeEnvironmentStringsA(strings);
    block.insert(block.end(), kClosedLoopbackProxy,
                 kClosedLoopbackProxy + lstrlenA(kClosedLoopbackProxy) + 1);
    block.push_back('\0');
    return block;
}

bool IsProgramDialog(HWND window) {
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    char caption[64] = {};
    GetWindowTextA(window, caption, sizeof caption);
    return lstrcmpA(className, "#32770") == 0 && lstrcmpA(caption, "Corvanta 3") == 0 &&
           GetDlgItem(window, 1001) != nullptr;
}

}  // namespace

bool Await(const std::function<bool()>& done, DWORD timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        Sleep(20);
    }
    return true;
}

std::string ProgramPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    folder.resize(folder.find_last_of('\\'));  // ...\tests
    folder.resize(folder.find_last_of('\\'));  // the build folder
    return folder + "\\ZelDownloader.exe";
}

HWND FindProgramDialog(DWORD processId) {
    for (HWND window : TopLevelWindows()) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == processId && IsProgramDialog(window)) return window;
    }
    return nullptr;
}

int CountProgramDialogs() {
    int count = 0;
    for (HWND window : TopLevelWindows()) count += IsProgramDialog(window) ? 1 : 0;
    return count;
}

ProgramRun::ProgramRun() {
    std::string commandLine = "\"" + ProgramPath() + "\"";
    std::vector<char> environment = ProgramEnvironment();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, environment.data(),
                        nullptr, &startup, &info))
        return;
    CloseHandle(info.hThread);
    process_.Reset(info.hProcess);
    processId_ = info.dwProcessId;
}

ProgramRun::~ProgramRun() {
    if (process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.Get(), 99);
        WaitForSingleObject(process_.Get(), 10000);
    }
}

HWND ProgramRun::AwaitDialog(DWORD timeoutMs) const {
    HWND dialog = nullptr;
    Await([&] { return (dialog = FindProgramDialog(processId_)) != nullptr; }, timeoutMs);
    return dialog;
}

bool ProgramRun::AwaitExit(DWORD* exitCode, DWORD timeoutMs) const {
    if (!process_ || WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(process_.Get(), exitCode) != 0;
}

bool ProgramRun::EndThroughCancel() const {
    HWND dialog = FindProgramDialog(processId_);
    if (!dialog) return false;
    BoxAnswerer boxes("Corvanta 3", processId_);
    boxes.Answer(texts::kCancelQuestion, IDYES);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    DWORD exitCode = 1;
    return AwaitExit(&exitCode) && exitCode == 0;
}

}  // namespace zel::test
