#include "ui/dialog/pending_control_changes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace zel {
namespace {

TEST(PendingControlChangesTest, KeepsTheLatestWishPerControlAndAsksForOneWake) {
    PendingControlChanges pending;
    EXPECT_TRUE(pending.SetStatusText("Collecting"));
    EXPECT_FALSE(pending.SetStatusText("Downloading"));
    EXPECT_FALSE(pending.EnableButton(1002, true));
    EXPECT_FALSE(pending.EnableButton(2, false));
    EXPECT_FALSE(pending.EnableButton(1002, false));
    EXPECT_FALSE(pending.SetButtonText(1002, "Pausing..."));
    EXPECT_FALSE(pending.SetButtonText(1002, "Resume"));
    EXPECT_FALSE(pending.SetProgressPosition(40));
    EXPECT_FALSE(pending.SetLaunchTimer(64));
    EXPECT_FALSE(pending.KillLaunchTimer());

    const ControlChanges changes = pending.Take();
    EXPECT_EQ(changes.statusText, "Downloading");
    EXPECT_EQ(changes.enabled, (std::map<int, bool>{{2, false}, {1002, false}}));
    EXPECT_EQ(changes.buttonText, (std::map<int, std::string>{{1002, "Resume"}}));
    EXPECT_EQ(changes.progressPosition, 40);
    ASSERT_TRUE(changes.launchTimer.has_value());
    EXPECT_FALSE(changes.launchTimer->set);

    EXPECT_TRUE(pending.Take().Empty());
    EXPECT_TRUE(pending.SetProgressPosition(41)) << "a change after a take needs a wake again";
}

// Workers record while the dialog's thread takes: every change that is
// recorded is followed by a wake that finds it (none is stranded), and the
// last wish of each worker is what the window ends with.
TEST(PendingControlChangesTest, NoChangeIsLeftWithoutAWakeWhileWorkersRecordAndTheDialogTakes) {
    PendingControlChanges pending;
    constexpr int kWorkers = 4;
    constexpr int kChanges = 2000;
    std::atomic<int> wakes{0};
    std::atomic<int> workersDone{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&, w] {
            for (int i = 0; i < kChanges; ++i) {
                if (pending.SetButtonText(w, std::to_string(i))) ++wakes;
                if (pending.EnableButton(w, i % 2 == 0)) ++wakes;
            }
            ++workersDone;
        });
    }
    int nonEmptyTakes = 0;
    std::map<int, std::string> shown;
    auto takeOnce = [&] {
        ControlChanges changes = pending.Take();
        if (changes.Empty()) return;
        ++nonEmptyTakes;
        for (auto& [id, text] : changes.buttonText) shown[id] = text;
    };
    while (workersDone < kWorkers) takeOnce();
    for (auto& worker : workers) worker.join();
    takeOnce();

    EXPECT_EQ(wakes.load(), nonEmptyTakes);
    for (int w = 0; w < kWorkers; ++w) EXPECT_EQ(shown[w], std::to_string(kChanges - 1));
}

}  // namespace
}  // namespace zel
