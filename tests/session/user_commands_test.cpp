#include <gtest/gtest.h>

#include "engine/resume_state.h"
#include "session/session_texts.h"
#include "support/sequence_match.h"
#include "support/session_bench.h"
#include "sys/install_folder.h"

namespace zel {
namespace {

using test::ContainsInOrder;
using test::ProgressText;
using test::SessionBench;

// 16 pieces of 32 KiB at 25 ms each: long enough to act mid-download.
constexpr std::int32_t kPackageSize = 16 * 32768;

class UserCommandsTest : public ::testing::Test {
  protected:
    void StartAndWaitForProgress() {
        bench.ServePackage(kPackageSize);
        bench.Start();
        ASSERT_TRUE(bench.dialog.PumpUntil(
            [&] { return bench.dialog.Status().rfind("Total Progress Percentage:: ", 0) == 0; }));
    }

    void PauseAndWaitUntilPaused() {
        bench.controller->OnPauseResume();
        ASSERT_TRUE(
            bench.dialog.PumpUntil([&] { return bench.dialog.Status() == texts::kPausedStatus; }));
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
    EXPECT_NE(bench.controller->Engine().userCommand, CommandCancel);
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

}  // namespace
}  // namespace zel
