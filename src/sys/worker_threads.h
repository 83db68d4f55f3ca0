// Starting threads that may fail to start, and the set of worker threads of
// the download runs, joined before they are dropped: a worker touches
// nothing of the engine after it has left its procedure, so joining takes no
// longer than the thread's own exit.
#pragma once

#include <functional>
#include <thread>
#include <vector>

namespace zel {

// Starts a thread running body into thread; false when the system could not
// create one. Tests put launchers in its place that fail on purpose.
using ThreadLauncher = std::function<bool(std::function<void()> body, std::thread& thread)>;
bool LaunchThread(std::function<void()> body, std::thread& thread);

class WorkerThreads {
  public:
    WorkerThreads() = default;
    ~WorkerThreads() { JoinAll(); }
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    void SetLauncher(ThreadLauncher launcher) { launcher_ = std::move(launcher); }
    // Starts one more thread; false when it could not be created.
    bool Start(std::function<void()> body);
    void JoinAll();

  private:
    ThreadLauncher launcher_ = LaunchThread;
    std::vector<std::thread> threads_;
};

}  // namespace zel
