#include <windows.h>

#include "support/child_process.h"
#include "sys/win32_handles.h"

namespace zel::test {

namespace {

// One argument as the C runtime of the child splits its command line:
// quoted, with the backslashes before a quote (and before the closing one)
// doubled, so that a folder path ending in a backslash stays one argument.
std::string Quoted(const std::string& argument) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

}  // namespace

struct ChildProcess::Process {
    ScopedKernelHandle handle;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments)
    : process_(new Process) {
    std::string commandLine = Quoted(program);
    for (const std::string& argument : arguments) commandLine += " " + Quoted(argument);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
        return;
    CloseHandle(info.hThread);
    process_->handle.Reset(info.hProcess);
}

ChildProcess::~ChildProcess() {
    Kill();
}

bool ChildProcess::Started() const {
    return process_->handle.IsValid();
}

bool ChildProcess::HasEnded() {
    return !Started() || WaitForSingleObject(process_->handle.Get(), 0) == WAIT_OBJECT_0;
}

void ChildProcess::Kill() {
    if (HasEnded()) return;
    TerminateProcess(process_->handle.Get(), 1);
    // Its handles, the package's among them, are closed once it has ended.
    WaitForSingleObject(process_->handle.Get(), INFINITE);
}

std::string HelperProgramPath(const std::string& name) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return name + ".exe";
    const std::string self(path, length);
    return self.substr(0, self.find_last_of("\\/") + 1) + name + ".exe";
}

}  // namespace zel::test
