// The session controller's use of the publisher check, with a stand-in for
// the system's signature check (natively there is none): a package that fails
// it is treated as one whose digest failed, at both places that launch.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "session/session_texts.h"
#include "support/sequence_match.h"
#include "support/session_bench.h"
#include "support/temp_folder.h"
#include "sys/install_folder.h"
#include "sys/publisher_check.h"

namespace zel {
namespace {

using test::ContainsInOrder;
using test::SessionBench;

// Answers from a script (the last answer repeats) and records every path it
// was asked about; the controller asks from its own thread and the dialog's.
class StandInCheck {
  public:
    explicit StandInCheck(std::vector<bool> answers) : answers_(std::move(answers)) {}

    PublisherCheck Check() {
        return [this](const std::string& path) {
            std::lock_guard<std::mutex> lock(mutex_);
            const bool answer = answers_[std::min(asked_.size(), answers_.size() - 1)];
            asked_.push_back(path);
            return answer;
        };
    }
    std::vector<std::string> Asked() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return asked_;
    }

  private:
    const std::vector<bool> answers_;
    mutable std::mutex mutex_;
    std::vector<std::string> asked_;
};

void ExpectGivenUpWithNothingLeft(const SessionBench& bench) {
    const auto boxes = bench.dialog.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Download failed.\nPlease re-download it.");
    EXPECT_EQ(boxes[0].flags, kMbOk | kMbIconError);
    EXPECT_EQ(bench.dialog.Status(), texts::kUnableToDownload);
    EXPECT_EQ(bench.dialog.Ended(), DialogEnd::Close);
    EXPECT_TRUE(bench.dialog.Launches().empty()) << "never launched";
    EXPECT_EQ(GetPathKind(bench.PackageFile()), kPathNothing);
    EXPECT_EQ(GetPathKind(bench.StateFile()), kPathNothing);
}

TEST(SessionPublisherTest, DownloadedPackageOfAnotherPublisherIsFetchedOnceMoreThenDeleted) {
    SessionBench bench;
    bench.ServePackage(100000);
    StandInCheck check({false});
    bench.MakeController().SetPublisherCheck(check.Check());
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_EQ(bench.BytesAskedFor(), 2 * 100000) << "one automatic fresh download";
    // After the first download, on finding it again at the next pass's start
    // (as a digest is checked there too), after the second download.
    EXPECT_EQ(check.Asked(), std::vector<std::string>(3, bench.PackageFile()));
    EXPECT_TRUE(ContainsInOrder(
        bench.dialog.StatusTexts(),
        {texts::kLaunching, "", texts::kDownloading, texts::kLaunching, texts::kUnableToDownload}));
    ExpectGivenUpWithNothingLeft(bench);
}

TEST(SessionPublisherTest, PackageInTheFolderOfAnotherPublisherIsNeverLaunchedByTheTimer) {
    SessionBench bench;
    bench.ServePackage(100000);
    StandInCheck check({false});
    bench.MakeController().SetPublisherCheck(check.Check());
    ASSERT_TRUE(WriteWholeFile(bench.PackageFile(), bench.Package()));  // digest matches
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_EQ(bench.dialog.TimersSet(), 0);
    // Found; then as in the fresh download above.
    EXPECT_EQ(check.Asked(), std::vector<std::string>(4, bench.PackageFile()));
    EXPECT_EQ(bench.BytesAskedFor(), 2 * 100000);
    ExpectGivenUpWithNothingLeft(bench);
}

// A check that fails once (a package swapped on the way) and then passes:
// the one automatic fresh download delivers, and only the checked file is
// launched.
TEST(SessionPublisherTest, OneFailedPublisherCheckIsMendedByTheAutomaticFreshDownload) {
    SessionBench bench;
    bench.ServePackage(100000);
    StandInCheck check({false, false, true});
    bench.MakeController().SetPublisherCheck(check.Check());
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_EQ(bench.BytesAskedFor(), 2 * 100000);
    EXPECT_EQ(check.Asked().size(), 3u);
    EXPECT_EQ(bench.dialog.Launches(), std::vector<std::string>{bench.PackageFile()});
    EXPECT_TRUE(bench.dialog.Boxes().empty());
}

TEST(SessionPublisherTest, PackageInTheFolderThatPassesIsLaunchedByTheTimerWithoutAGet) {
    SessionBench bench;
    bench.ServePackage(100000);
    StandInCheck check({true});
    bench.MakeController().SetPublisherCheck(check.Check());
    ASSERT_TRUE(WriteWholeFile(bench.PackageFile(), bench.Package()));
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_EQ(bench.dialog.TimersSet(), 1);
    EXPECT_EQ(check.Asked(), std::vector<std::string>{bench.PackageFile()});
    EXPECT_EQ(bench.dialog.Launches(), std::vector<std::string>{bench.PackageFile()});
    EXPECT_TRUE(bench.PackageGets().empty());
}

// The signature is asked about only for bytes whose digest the manifest
// vouches for: a file that fails its digest is never opened for it.
TEST(SessionPublisherTest, PackageWhoseDigestFailsIsNeverAskedAbout) {
    SessionBench bench;
    bench.ServePackage(100000, {}, std::string(40, 'A'));
    StandInCheck check({true});
    bench.MakeController().SetPublisherCheck(check.Check());
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_TRUE(check.Asked().empty());
    ExpectGivenUpWithNothingLeft(bench);
}

TEST(PublisherCheckForTest, WithoutAPublisherEveryPackagePassesWithOneAnUnsignedOneNever) {
    EXPECT_TRUE(PublisherCheckFor("")("no such file"));
    // Natively there is no trust provider at all: it fails closed too.
    EXPECT_FALSE(PublisherCheckFor("ZelDownloader Test Publisher")("no such file"));
}

}  // namespace
}  // namespace zel
