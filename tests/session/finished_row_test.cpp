#include "session/finished_row.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(FinishedRowTest, StopReportsFollowWhatTheUserAskedFor) {
    const FinishedReport stopped{0, ResultStopped, false};
    EXPECT_EQ(ChooseFinishedRow(stopped, true, true), FinishedRow::CancelStop);
    EXPECT_EQ(ChooseFinishedRow(stopped, false, true), FinishedRow::RestartStop);
    EXPECT_EQ(ChooseFinishedRow(stopped, false, false), FinishedRow::PauseStop);
    // Workers stopped while the line was down end failed; a run may complete
    // as the user pauses: the user's stop still decides.
    EXPECT_EQ(ChooseFinishedRow({2, ResultTransportError, false}, true, false),
              FinishedRow::CancelStop);
    EXPECT_EQ(ChooseFinishedRow({1, ResultFailed, false}, false, false, true),
              FinishedRow::PauseStop);
    EXPECT_EQ(ChooseFinishedRow({0, ResultComplete, false}, false, false, true),
              FinishedRow::PauseStop);
}

TEST(FinishedRowTest, OnlyARunWithoutFailedWorkersIsVerifiedAndLaunched) {
    EXPECT_EQ(ChooseFinishedRow({0, ResultComplete, false}, false, false),
              FinishedRow::VerifyAndLaunch);
    EXPECT_EQ(ChooseFinishedRow({2, ResultComplete, false}, false, false),
              FinishedRow::RetryOrIdle);
    EXPECT_EQ(ChooseFinishedRow({0, ResultFailed, false}, false, false), FinishedRow::RetryOrIdle);
}

// An engine report of one failed worker and a complete last worker looks
// like the launch timer's request; it must be retried, never launched.
TEST(FinishedRowTest, ReportWithOneFailedWorkerIsNotTakenForALaunchRequest) {
    EXPECT_EQ(ChooseFinishedRow({1, ResultComplete, false}, false, false),
              FinishedRow::RetryOrIdle);
    EXPECT_EQ(ChooseFinishedRow({1, ResultComplete, true}, false, false),
              FinishedRow::LaunchRequest);
}
}  // namespace
}  // namespace zel
