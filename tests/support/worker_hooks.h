// Hooks put on segment records' workers before they start, so that a test
// can act while workers are in the middle of a download: a gate that holds
// workers after their writes, a log of the order in which they end, and a
// bounded wait for a condition.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "engine/download_engine.h"

namespace zel::test {

// True once condition holds; false when it still fails after 30 seconds.
bool WaitUntil(const std::function<bool()>& condition);

// Lets a record write, then holds its worker until a stop is requested or
// the gate is released: a pause that lands while the worker is in its read
// loop, or progress that stands still while the test looks at it.
class WriteGate {
  public:
    explicit WriteGate(DownloadEngine& engine) : engine_(engine) {}
    ~WriteGate() { Release(); }

    void Hold(WorkerHooks& hooks);
    // Every held worker goes on, and no later write is held.
    void Release() { released_ = true; }

    std::int32_t WrittenBy(std::uint8_t index) const;
    std::size_t Writers() const;

  private:
    DownloadEngine& engine_;
    std::atomic<bool> released_{false};
    mutable std::mutex mutex_;
    std::map<std::uint8_t, std::int32_t> written_;
};

// The order in which workers end.
class FinishLog {
  public:
    void Watch(WorkerHooks& hooks);
    std::vector<std::uint8_t> Order() const;

  private:
    mutable std::mutex mutex_;
    std::vector<std::uint8_t> order_;
};

}  // namespace zel::test
