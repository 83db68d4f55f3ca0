// A program the test starts as a process of its own, to end it the way a
// crash or a power cut would: at once, with no handler of its own running.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace zel::test {

class ChildProcess {
  public:
    // Starts program with the arguments; Started() tells whether it runs.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
    // Kills the process if it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const;
    // True once the process has ended by itself or been killed.
    bool HasEnded();
    // Ends the process at once (SIGKILL, TerminateProcess) and waits until
    // it is gone, its files closed.
    void Kill();

  private:
    struct Process;  // the system's handle of the process
    std::unique_ptr<Process> process_;
};

// The helper program of that name beside the running test program.
std::string HelperProgramPath(const std::string& name);

}  // namespace zel::test
