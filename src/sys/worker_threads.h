// The worker threads of the download runs, joined before they are dropped:
// a worker touches nothing of the engine after it has left its procedure, so
// joining takes no longer than the thread's own exit.
#pragma once

#include <thread>
#include <utility>
#include <vector>

namespace zel {

class WorkerThreads {
  public:
    WorkerThreads() = default;
    ~WorkerThreads() { JoinAll(); }
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    void Add(std::thread thread) { threads_.push_back(std::move(thread)); }
    void JoinAll() {
        for (std::thread& thread : threads_) {
            if (thread.joinable()) thread.join();
        }
        threads_.clear();
    }

  private:
    std::vector<std::thread> threads_;
};

}  // namespace zel
