#include "session/finished_row.h"

#include <gtest/gtest.h>

#include "session/progress_percent.h"

namespace zel {
namespace {

TEST(FinishedRowTest, StopReportsFollowWhatTheUserAskedFor) {
    const FinishedReport stopped{0, kReportStopped, false};
    EXPECT_EQ(ChooseFinishedRow(stopped, true, true), FinishedRow::CancelStop);
    EXPECT_EQ(ChooseFinishedRow(stopped, false, true), FinishedRow::RestartStop);
    EXPECT_EQ(ChooseFinishedRow(stopped, false, false), FinishedRow::PauseStop);
    EXPECT_EQ(ChooseFinishedRow({2, kReportTransportError, false}, true, false),
              FinishedRow::TransportError);
}

TEST(FinishedRowTest, OnlyARunWithoutFailedWorkersIsVerifiedAndLaunched) {
    EXPECT_EQ(ChooseFinishedRow({0, kReportComplete, false}, false, false),
              FinishedRow::VerifyAndLaunch);
    EXPECT_EQ(ChooseFinishedRow({2, kReportComplete, false}, false, false),
              FinishedRow::RetryOrIdle);
    EXPECT_EQ(ChooseFinishedRow({0, kReportFailed, false}, false, false), FinishedRow::RetryOrIdle);
}

// An engine report of one failed worker and a complete last worker looks
// like the launch timer's request; it must be retried, never launched.
TEST(FinishedRowTest, ReportWithOneFailedWorkerIsNotTakenForALaunchRequest) {
    EXPECT_EQ(ChooseFinishedRow({1, kReportComplete, false}, false, false),
              FinishedRow::RetryOrIdle);
    EXPECT_EQ(ChooseFinishedRow({1, kReportComplete, true}, false, false),
              FinishedRow::LaunchRequest);
}

TEST(ProgressPercentTest, TruncatesCapsAndNeverOverflows) {
    EXPECT_EQ(ProgressPercent(50000000, 100000000), 50);
    EXPECT_EQ(ProgressPercent(1999999999, 2000000000), 99);
    EXPECT_EQ(ProgressPercent(2147483647, 2147483647), 100);
    EXPECT_EQ(ProgressPercent(300, 200), 100);
    EXPECT_EQ(ProgressPercent(0, 10), 0);
    EXPECT_EQ(ProgressPercent(-5, 10), 0);
    EXPECT_EQ(ProgressPercent(10, 0), -1);
    EXPECT_EQ(ProgressPercent(10, -1), -1);
}

}  // namespace
}  // namespace zel
