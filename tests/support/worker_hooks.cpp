#include "support/worker_hooks.h"

#include <chrono>
#include <thread>

namespace zel::test {

bool WaitUntil(const std::function<bool()>& condition) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void WriteGate::Hold(WorkerHooks& hooks) {
    auto write = hooks.writeAt;
    hooks.writeAt = [this, write](std::uint8_t index, std::int32_t offset, const char* buffer,
                                  std::int32_t count, std::int32_t* written) {
        bool ok = write(index, offset, buffer, count, written);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            written_[index] += count;
        }
        WaitUntil([this] { return released_ || engine_.IsStopRequested(); });
        return ok;
    };
}

std::int32_t WriteGate::WrittenBy(std::uint8_t index) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = written_.find(index);
    return found == written_.end() ? 0 : found->second;
}

std::size_t WriteGate::Writers() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return written_.size();
}

void FinishLog::Watch(WorkerHooks& hooks) {
    auto finish = hooks.onFinished;
    hooks.onFinished = [this, finish](std::uint8_t index, SegmentResult result, std::int32_t next,
                                      std::int32_t remaining) {
        // Held across the engine's own handling, so that two workers ending
        // together are logged in the order the engine took them.
        std::lock_guard<std::mutex> lock(mutex_);
        order_.push_back(index);
        finish(index, result, next, remaining);
    };
}

std::vector<std::uint8_t> FinishLog::Order() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return order_;
}

}  // namespace zel::test
