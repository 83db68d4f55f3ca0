// When checkpoints and write-backs come due: the interval is not put off by
// the write-backs the writers keep asking for, a checkpoint asked for comes
// before a write-back, and the end of a run wins over both.
#include "engine/segments/checkpoint_schedule.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace zel {

using Due = CheckpointSchedule::Due;
using std::chrono::milliseconds;

TEST(CheckpointScheduleTest, WriteBacksAskedForWithoutPauseDoNotPutTheCheckpointOff) {
    CheckpointSchedule schedule;
    schedule.Begin();
    std::atomic<bool> stop{false};
    std::thread writers([&] {
        while (!stop) schedule.RequestWriteBack();
    });
    // An interval of 20 ms: the checkpoint must come however many write-backs
    // are due meanwhile (a generous bound only against a hang).
    const auto begin = std::chrono::steady_clock::now();
    int writeBacks = 0;
    Due due = Due::WriteBack;
    while (due == Due::WriteBack &&
           std::chrono::steady_clock::now() - begin < std::chrono::seconds(30)) {
        due = schedule.WaitUntilDue(milliseconds(20));
        if (due == Due::WriteBack) ++writeBacks;
    }
    stop = true;
    writers.join();
    EXPECT_EQ(due, Due::Checkpoint);
    EXPECT_GT(writeBacks, 0);
}

TEST(CheckpointScheduleTest, CheckpointAskedForComesBeforeAWriteBackAndTakesItsPlace) {
    CheckpointSchedule schedule;
    schedule.Begin();
    schedule.RequestWriteBack();
    schedule.RequestNow();
    EXPECT_EQ(schedule.WaitUntilDue(std::chrono::hours(1)), Due::Checkpoint);
    // The checkpoint's flush covered what the write-back would have sent.
    schedule.RequestWriteBack();
    EXPECT_EQ(schedule.WaitUntilDue(std::chrono::hours(1)), Due::WriteBack);
    schedule.RequestNow();
    EXPECT_EQ(schedule.WaitUntilDue(std::chrono::hours(1)), Due::Checkpoint);
}

TEST(CheckpointScheduleTest, EndOfTheRunWinsUntilTheNextBegin) {
    CheckpointSchedule schedule;
    EXPECT_EQ(schedule.WaitUntilDue(std::chrono::hours(1)), Due::Ended);  // no run yet
    schedule.Begin();
    schedule.RequestNow();
    schedule.RequestWriteBack();
    schedule.End();
    EXPECT_EQ(schedule.WaitUntilDue(std::chrono::hours(1)), Due::Ended);
    schedule.Begin();
    // The checkpoint asked for before the End is not due in the new run.
    schedule.RequestWriteBack();
    EXPECT_EQ(schedule.WaitUntilDue(std::chrono::hours(1)), Due::WriteBack);
}

}  // namespace zel
