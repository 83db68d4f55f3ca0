#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/child_process.h"

extern char** environ;

namespace zel::test {

struct ChildProcess::Process {
    pid_t pid = -1;
    bool ended = false;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments)
    : process_(new Process) {
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(&word[0]);
    argv.push_back(nullptr);
    // posix_spawn, not fork: the test program has threads, and only the new
    // program runs in the child.
    if (::posix_spawn(&process_->pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        process_->pid = -1;
}

ChildProcess::~ChildProcess() {
    Kill();
}

bool ChildProcess::Started() const {
    return process_->pid > 0;
}

bool ChildProcess::HasEnded() {
    if (!Started() || process_->ended) return true;
    int status = 0;
    if (::waitpid(process_->pid, &status, WNOHANG) == process_->pid) process_->ended = true;
    return process_->ended;
}

void ChildProcess::Kill() {
    if (HasEnded()) return;
    ::kill(process_->pid, SIGKILL);
    int status = 0;
    ::waitpid(process_->pid, &status, 0);
    process_->ended = true;
}

std::string HelperProgramPath(const std::string& name) {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return name;
    const std::string self(path, static_cast<std::size_t>(length));
    return self.substr(0, self.rfind('/') + 1) + name;
}

}  // namespace zel::test
