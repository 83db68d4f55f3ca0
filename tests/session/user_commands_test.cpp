#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>

#include "engine/segments/resume_state.h"
#include "session/session_texts.h"
#include "support/engine_access.h"
#include "support/sequence_match.h"
#include "support/session_bench.h"
#include "support/worker_hooks.h"
#include "sys/install_folder.h"
#include "sys/manual_reset_event.h"
#include "sys/worker_threads.h"

namespace zel {

using test::EngineAccess;

namespace {

using test::ContainsInOrder;
using test::ProgressText;
using test::SessionBench;

// 16 pieces of 32 KiB at 25 ms each: long enough to act mid-download.
constexpr std::int32_t kPackageSize = 16 * 32768;

// Lets passes run as they come, except the one of a chosen number (counting
// from 1), which waits before it begins until the test releases it.
class HeldPass {
  public:
    explicit HeldPass(int held) : held_(held) {}
    ~HeldPass() { release.Set(); }

    std::function<void()> Gate() {
        return [this] {
            if (++passes_ != held_) return;
            reached.Set();
            release.WaitFor(std::chrono::minutes(1));
        };
    }

    ManualResetEvent reached;  // the held pass is waiting
    ManualResetEvent release;

  private:
    const int held_;
    std::atomic<int> passes_{0};
};

class UserCommandsTest : public ::testing::Test {
  protected:
    // Until both workers have asked for their ranges and one has written.
    void StartAndWaitForProgress() {
        bench.ServePackage(kPackageSize);
        bench.Start();
        ASSERT_TRUE(bench.dialog.PumpUntil([&] {
            return bench.PackageGets().size() >= 2 &&
                   bench.dialog.Status().rfind("Total Progress Percentage:: ", 0) == 0;
        }));
    }

    // Until the pause is shown and its Resume button can be pressed.
    void PauseAndWaitUntilPaused() {
        bench.controller->OnPauseResume();
        ASSERT_TRUE(bench.dialog.PumpUntil([&] {
            return bench.dialog.Status() == texts::kPausedStatus &&
                   bench.dialog.ButtonState(kPauseButtonId).text == texts::kResume &&
                   bench.dialog.ButtonState(kCancelButtonId).enabled;
        }));
    }

    void RestartAndWaitUntilRestarted() {
        bench.controller->OnRestart();
        ASSERT_TRUE(bench.dialog.PumpUntil([&] {
            return bench.dialog.Status() == texts::kRestartedStatus &&
                   bench.dialog.ButtonState(kRestartButtonId).text == texts::kRestart;
        }));
    }

    std::int32_t SavedBytes() const {
        ResumeState state;
        if (ReadResumeState(bench.StateFile(), kPackageSize, &state) != ResumeReadResult::Readable)
            return -1;
        return state.totalDownloaded;
    }

    SessionBench bench{SessionBench::SlowWrites(25)};
};

TEST_F(UserCommandsTest, PauseThenResumeFetchesOnlyTheMissingBytes) {
    StartAndWaitForProgress();
    PauseAndWaitUntilPaused();

    EXPECT_TRUE(bench.controller->IsPaused());
    EXPECT_TRUE(ContainsInOrder(bench.dialog.ButtonEvents(),
                                {"1002 off", "1003 off", "2 off", "1002 Pausing...", "1002 on",
                                 "1003 on", "2 on", "1002 Resume"}));
    const std::int32_t saved = SavedBytes();
    ASSERT_GT(saved, 0);
    ASSERT_LT(saved, kPackageSize);
    const std::size_t requestsBefore = bench.server.Requests().size();
    const std::size_t statusBefore = bench.dialog.StatusTexts().size();

    bench.controller->OnPauseResume();
    EXPECT_FALSE(bench.controller->IsPaused());
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_TRUE(ContainsInOrder(bench.dialog.ButtonEvents(),
                                {"1002 Resume", "1002 off", "1002 Resuming...", "1002 Pause"}));
    const auto statuses = bench.dialog.StatusTexts();
    const std::vector<std::string> afterResume(statuses.begin() + statusBefore, statuses.end());
    const std::string restored =
        ProgressText(static_cast<int>(std::int64_t{saved} * 100 / kPackageSize));
    EXPECT_TRUE(ContainsInOrder(afterResume, {restored}));
    for (const auto& text : afterResume) {
        if (text.rfind("Total Progress", 0) == 0) {
            EXPECT_EQ(text, restored) << "the restored percentage comes first";
            break;
        }
    }
    EXPECT_EQ(bench.BytesAskedFor(requestsBefore), kPackageSize - saved);
    EXPECT_TRUE(bench.PackageDeliveredAndLaunchedOnce());
}

TEST_F(UserCommandsTest, CancelWhileDownloadingClosesAfterTheStopAndKeepsTheResumeFile) {
    StartAndWaitForProgress();
    bench.dialog.Answer(texts::kCancelQuestion, kIdYes);
    bench.controller->OnCancelDownload();

    EXPECT_EQ(bench.dialog.Boxes().back().flags, kMbYesNo);
    EXPECT_EQ(bench.dialog.ButtonState(kCancelButtonId).text, "Canceling...");
    EXPECT_FALSE(bench.dialog.ButtonState(kCancelButtonId).enabled);
    EXPECT_FALSE(bench.dialog.ButtonState(kPauseButtonId).enabled);
    EXPECT_FALSE(bench.dialog.ButtonState(kRestartButtonId).enabled);
    EXPECT_FALSE(bench.dialog.Ended().has_value()) << "only after the stop report";

    ASSERT_TRUE(bench.dialog.PumpUntilEnded());
    EXPECT_EQ(bench.dialog.Ended(), DialogEnd::Cancel);
    EXPECT_FALSE(bench.dialog.ButtonState(kPauseButtonId).enabled) << "no worker re-enabled it";
    EXPECT_GT(SavedBytes(), 0);
    EXPECT_TRUE(bench.dialog.Launches().empty());
}

TEST_F(UserCommandsTest, CancelWhilePausedClosesAtOnce) {
    StartAndWaitForProgress();
    PauseAndWaitUntilPaused();
    bench.dialog.Answer(texts::kCancelQuestion, kIdYes);
    bench.controller->OnCancelDownload();

    EXPECT_EQ(bench.dialog.Ended(), DialogEnd::Cancel);
    EXPECT_GT(SavedBytes(), 0);
}

TEST_F(UserCommandsTest, CancelAnsweredNoChangesNothing) {
    StartAndWaitForProgress();
    const auto eventsBefore = bench.dialog.ButtonEvents().size();
    bench.dialog.Answer(texts::kCancelQuestion, kIdNo);
    bench.controller->OnCancelDownload();

    EXPECT_EQ(bench.dialog.ButtonState(kCancelButtonId).text, "Cancel");
    EXPECT_NE(bench.controller->Engine().LastUserCommand(), CommandCancel);
    for (std::size_t i = eventsBefore; i < bench.dialog.ButtonEvents().size(); ++i) {
        EXPECT_EQ(bench.dialog.ButtonEvents()[i], "1002 on") << "only the workers' enabling";
    }
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());
    EXPECT_EQ(bench.dialog.Ended(), DialogEnd::Close);
    EXPECT_EQ(bench.dialog.Launches().size(), 1u);
}

TEST_F(UserCommandsTest, RestartWhileDownloadingStartsAgainFromTheFirstByte) {
    StartAndWaitForProgress();
    const std::size_t requestsBefore = bench.server.Requests().size();
    bench.controller->OnRestart();
    EXPECT_EQ(bench.dialog.ButtonState(kRestartButtonId).text, "Restarting...");

    ASSERT_TRUE(bench.dialog.PumpUntilEnded());
    EXPECT_TRUE(bench.dialog.SawStatus(texts::kRestartedStatus));
    EXPECT_EQ(bench.dialog.ButtonState(kRestartButtonId).text, "Restart");
    EXPECT_EQ(bench.BytesAskedFor(requestsBefore), kPackageSize);
    EXPECT_TRUE(bench.PackageDeliveredAndLaunchedOnce());
}

TEST_F(UserCommandsTest, RestartWhilePausedDropsTheResumeFileAndStartsAfresh) {
    StartAndWaitForProgress();
    PauseAndWaitUntilPaused();
    ASSERT_GT(SavedBytes(), 0);
    const std::size_t requestsBefore = bench.server.Requests().size();
    bench.controller->OnRestart();

    EXPECT_FALSE(bench.controller->IsPaused());
    EXPECT_EQ(bench.dialog.ButtonState(kPauseButtonId).text, "Pause");
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());
    EXPECT_EQ(bench.BytesAskedFor(requestsBefore), kPackageSize);
    EXPECT_TRUE(bench.PackageDeliveredAndLaunchedOnce());
}

// After a restart the download is no longer paused, so a lost connection
// is waited for (and asked about) again instead of being retried blindly.
TEST_F(UserCommandsTest, RestartFromPauseWaitsForALostConnectionAgain) {
    StartAndWaitForProgress();
    PauseAndWaitUntilPaused();
    bench.connection.SetOnline(false);
    bench.dialog.Answer(texts::kInternetErrorRetryQuestion, kIdYes,
                        [&] { bench.connection.SetOnline(true); });
    bench.controller->OnRestart();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_TRUE(bench.dialog.SawBox(texts::kInternetErrorRetryQuestion));
    EXPECT_TRUE(bench.PackageDeliveredAndLaunchedOnce());
}

TEST_F(UserCommandsTest, PauseWhileAStopIsUnderWaySaysAlreadyPaused) {
    StartAndWaitForProgress();
    bench.controller->Engine().RequestStop();
    bench.controller->OnPauseResume();

    ASSERT_TRUE(bench.dialog.SawBox("Already paused"));
    EXPECT_EQ(bench.dialog.Boxes().back().flags, kMbOk);
    EXPECT_TRUE(bench.controller->IsPaused()) << "the next press resumes";
}

// The pause lands as the first segment completes: that worker ends last,
// after the other has stopped with bytes missing. The stop's file still
// says how far the download came, so the resumed run asks only for what is
// missing, and the dialog shows a pause, not a finished download.
TEST_F(UserCommandsTest, PauseAsASegmentCompletesKeepsTheProgressForTheResumedRun) {
    bench.ServePackage(kPackageSize);
    DownloadEngine& engine = bench.MakeController().Engine();
    test::WriteGate slowSecond(engine);
    ManualResetEvent firstCompleted;
    ManualResetEvent secondEnded;
    std::atomic<int> launches{0};
    EngineAccess::SetWorkerLauncher(engine, [&](std::function<void()> body, std::thread& thread) {
        const int launch = launches++;
        if (launch == 0) {
            WorkerHooks& first = EngineAccess::Hooks(engine, 0);
            first.onFinished = [&, finish = first.onFinished](
                                   std::uint8_t index, SegmentResult result, std::int32_t next,
                                   std::int32_t remaining) {
                if (result == ResultComplete) {
                    firstCompleted.Set();
                    secondEnded.WaitFor(std::chrono::seconds(30));
                }
                finish(index, result, next, remaining);
            };
        } else if (launch == 1) {
            WorkerHooks& second = EngineAccess::Hooks(engine, 1);
            slowSecond.Hold(second);
            second.onFinished = [&, finish = second.onFinished](
                                    std::uint8_t index, SegmentResult result, std::int32_t next,
                                    std::int32_t remaining) {
                finish(index, result, next, remaining);
                secondEnded.Set();
            };
        }
        return LaunchThread(std::move(body), thread);
    });
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntil([&] { return firstCompleted.IsSet(); }));
    PauseAndWaitUntilPaused();

    EXPECT_EQ(bench.dialog.ButtonState(kPauseButtonId).text, texts::kResume);
    EXPECT_TRUE(bench.dialog.Launches().empty());
    const std::int32_t saved = SavedBytes();
    ASSERT_GE(saved, kPackageSize / 2) << "the first half and what the second wrote";
    ASSERT_LT(saved, kPackageSize);
    const std::size_t requestsBefore = bench.server.Requests().size();

    bench.controller->OnPauseResume();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());
    const auto resumed = bench.PackageGets(requestsBefore);
    ASSERT_EQ(resumed.size(), 1u) << "only the second segment's rest";
    EXPECT_GT(test::RangeStart(resumed[0].range), kPackageSize / 2);
    EXPECT_EQ(bench.BytesAskedFor(requestsBefore), kPackageSize - saved);
    EXPECT_TRUE(bench.PackageDeliveredAndLaunchedOnce());
}

// Quick command sequences: whatever the order, a pass never changes what
// running workers use, and the download ends verified.

// The first restart's pass is held before it starts its workers, so that the
// second restart finds the stop still signalled and starts a pass at once;
// that pass takes the first one's workers over.
TEST_F(UserCommandsTest, RestartTwiceBeforeTheWorkersStartEndsInOneVerifiedPackage) {
    HeldPass secondPass(2);
    bench.MakeController().SetPassGate(secondPass.Gate());
    StartAndWaitForProgress();
    RestartAndWaitUntilRestarted();
    ASSERT_TRUE(secondPass.reached.WaitFor(std::chrono::seconds(20)));
    bench.controller->OnRestart();
    secondPass.release.Set();

    ASSERT_TRUE(bench.dialog.PumpUntilEnded());
    EXPECT_EQ(bench.dialog.Ended(), DialogEnd::Close);
    EXPECT_TRUE(bench.PackageDeliveredAndLaunchedOnce());
    EXPECT_FALSE(bench.dialog.SawStatus(texts::kPausedStatus)) << "no stale stop report";
}

// The resumed pass starts its first worker, then its start of the second
// is held until a stop comes: the pause lands inside the start stagger.
TEST_F(UserCommandsTest, PauseResumePauseInsideTheStartStaggerThenResumeEndsVerified) {
    StartAndWaitForProgress();
    PauseAndWaitUntilPaused();
    DownloadEngine& engine = bench.controller->Engine();
    ManualResetEvent staggering;
    std::atomic<int> starts{0};
    EngineAccess::SetWorkerLauncher(engine, [&](std::function<void()> body, std::thread& thread) {
        if (++starts == 2) {
            staggering.Set();
            while (!engine.IsStopRequested())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return LaunchThread(std::move(body), thread);
    });
    bench.controller->OnPauseResume();
    ASSERT_TRUE(bench.dialog.PumpUntil([&] { return staggering.IsSet(); }));
    bench.controller->OnPauseResume();
    ASSERT_TRUE(bench.dialog.PumpUntil([&] {
        return engine.RunningWorkers() == 0 &&
               bench.dialog.ButtonState(kPauseButtonId).text == texts::kResume &&
               bench.dialog.ButtonState(kPauseButtonId).enabled;
    }));
    EXPECT_TRUE(bench.controller->IsPaused());

    bench.controller->OnPauseResume();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());
    EXPECT_TRUE(bench.PackageDeliveredAndLaunchedOnce());
}

// The restart's pass is held before it starts: Cancel finds no worker
// running and ends the dialog at once; the pass then ends with the
// controller without fetching anything.
TEST_F(UserCommandsTest, CancelDuringARestartEndsAtOnceAndFetchesNothingMore) {
    HeldPass restartPass(2);
    bench.MakeController().SetPassGate(restartPass.Gate());
    StartAndWaitForProgress();
    RestartAndWaitUntilRestarted();
    ASSERT_TRUE(restartPass.reached.WaitFor(std::chrono::seconds(20)));
    const std::size_t requestsBefore = bench.server.Requests().size();
    bench.dialog.Answer(texts::kCancelQuestion, kIdYes);
    bench.controller->OnCancelDownload();
    EXPECT_EQ(bench.dialog.Ended(), DialogEnd::Cancel);

    restartPass.release.Set();
    bench.controller.reset();
    EXPECT_EQ(bench.BytesAskedFor(requestsBefore), 0);
    EXPECT_TRUE(bench.dialog.Launches().empty());
}

// No thread for the session: the user is told, and the dialog stays paused
// with its buttons usable, so that Resume can try again.
TEST_F(UserCommandsTest, SessionThreadThatCannotBeMadeLeavesTheDialogPausedAndUsable) {
    std::atomic<bool> refuse{true};
    bench.ServePackage(kPackageSize);
    bench.MakeController().SetThreadLauncher([&](std::function<void()> body, std::thread& thread) {
        return !refuse && LaunchThread(std::move(body), thread);
    });
    bench.Start();

    EXPECT_EQ(bench.dialog.Status(), texts::kCannotStart);
    EXPECT_TRUE(bench.controller->IsPaused());
    for (int id : {kPauseButtonId, kRestartButtonId, kCancelButtonId})
        EXPECT_TRUE(bench.dialog.ButtonState(id).enabled) << id;
    EXPECT_EQ(bench.dialog.ButtonState(kPauseButtonId).text, texts::kResume);

    refuse = false;
    bench.controller->OnPauseResume();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());
    EXPECT_TRUE(bench.PackageDeliveredAndLaunchedOnce());
}

}  // namespace
}  // namespace zel
