#include "sys/manual_reset_event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace zel {
namespace {

TEST(ManualResetEventTest, StaysSetForEveryWaiterUntilReset) {
    ManualResetEvent event;
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.WaitFor(std::chrono::milliseconds(0)));
    std::atomic<int> woken{0};
    std::thread waiters[3];
    for (auto& waiter : waiters) {
        waiter = std::thread([&] {
            if (event.WaitFor(std::chrono::seconds(20))) ++woken;
        });
    }
    event.Set();
    for (auto& waiter : waiters) waiter.join();
    EXPECT_EQ(woken.load(), 3);
    EXPECT_TRUE(event.IsSet());
    EXPECT_TRUE(event.WaitFor(std::chrono::milliseconds(0)));
    event.Reset();
    EXPECT_FALSE(event.IsSet());
}

}  // namespace
}  // namespace zel
