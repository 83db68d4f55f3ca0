#include "sys/worker_threads.h"

#include <exception>
#include <utility>

namespace zel {

bool LaunchThread(std::function<void()> body, std::thread& thread) {
    try {
        thread = std::thread(std::move(body));
        return true;
    } catch (const std::exception&) {
        // std::system_error natively; the Windows program's own library
        // error functions raise a plain std::exception instead.
        return false;
    }
}

bool WorkerThreads::Start(std::function<void()> body) {
    // Room first: a started thread must never be dropped unjoined.
    threads_.reserve(threads_.size() + 1);
    std::thread thread;
    if (!launcher_(std::move(body), thread)) return false;
    threads_.push_back(std::move(thread));
    return true;
}

void WorkerThreads::JoinAll() {
    for (std::thread& thread : threads_) {
        if (thread.joinable()) thread.join();
    }
    threads_.clear();
}

}  // namespace zel
