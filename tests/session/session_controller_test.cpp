#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <set>

#include "engine/segments/resume_state.h"
#include "session/session_texts.h"
#include "support/retry_wait_log.h"
#include "support/sequence_match.h"
#include "support/session_bench.h"
#include "support/temp_folder.h"
#include "support/worker_hooks.h"
#include "sys/install_folder.h"

namespace zel {
namespace {

using test::ContainsInOrder;
using test::ProgressText;
using test::RangeStart;
using test::ServeFaults;
using test::SessionBench;

TEST(SessionControllerTest, FreshDownloadIsVerifiedOpenedAndTheDialogCloses) {
    SessionBench bench;
    bench.ServePackage(300000);
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_EQ(bench.dialog.Ended(), DialogEnd::Close);
    EXPECT_EQ(bench.dialog.Launches(), std::vector<std::string>{bench.PackageFile()});
    EXPECT_TRUE(bench.ReadPackageFile() == bench.Package()) << "the package file holds the package";
    EXPECT_TRUE(ContainsInOrder(bench.dialog.StatusTexts(),
                                {"Collecting ZEL v3 Setup Info", texts::kDownloading,
                                 ProgressText(100), texts::kLaunching, texts::kCompleted}));
    EXPECT_EQ(bench.dialog.Status(), texts::kCompleted);
    EXPECT_EQ(bench.dialog.ProgressPositions().back(), 100);
    EXPECT_TRUE(bench.dialog.ButtonState(kPauseButtonId).enabled);  // by the first worker

    std::set<std::string> ranges;
    for (const auto& get : bench.PackageGets()) ranges.insert(get.range);
    EXPECT_EQ(ranges, (std::set<std::string>{"bytes=0-149999", "bytes=150000-299999"}));
    EXPECT_TRUE(bench.dialog.Boxes().empty());
    EXPECT_EQ(GetPathKind(bench.StateFile()), kPathNothing);
}

TEST(SessionControllerTest, PackageAlreadyInTheFolderIsLaunchedByTheTimerWithoutAGet) {
    SessionBench bench;
    bench.ServePackage(100000);
    bench.MakeController();
    ASSERT_TRUE(WriteWholeFile(bench.PackageFile(), bench.Package()));
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_EQ(bench.dialog.TimersSet(), 1);
    EXPECT_EQ(bench.dialog.Launches(), std::vector<std::string>{bench.PackageFile()});
    EXPECT_EQ(bench.dialog.Ended(), DialogEnd::Close);
    EXPECT_TRUE(bench.PackageGets().empty());
    // Shown as complete when found, and again by the launch, each time
    // followed by the full bar and its percentage.
    EXPECT_TRUE(ContainsInOrder(
        bench.dialog.StatusTexts(),
        {texts::kCompleted, ProgressText(100), texts::kCompleted, ProgressText(100)}));
    EXPECT_EQ(bench.dialog.ProgressPositions().back(), 100);
    EXPECT_EQ(bench.dialog.FinishedMessagesSeen(), 0u);
}

TEST(SessionControllerTest, ResumeFileOfAnotherPackageIsDiscardedAndTheDownloadStartsAfresh) {
    SessionBench bench;
    bench.ServePackage(200000);
    bench.MakeController();
    ASSERT_TRUE(WriteWholeFile(bench.PackageFile(), std::string(200000, '\0')));
    ASSERT_TRUE(WriteWholeFile(
        bench.StateFile(),
        FormatSegmentState(0, 150000, 50000) + FormatGlobalState(150000, std::string(40, 'E'))));
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_EQ(bench.BytesAskedFor(), 200000);
    EXPECT_EQ(RangeStart(bench.PackageGets().front().range) % 100000, 0);
    EXPECT_TRUE(bench.PackageDeliveredAndLaunchedOnce());
}

TEST(SessionControllerTest, ResumeFileWithoutItsPackageIsDiscardedAndTheDownloadStartsAfresh) {
    SessionBench bench;
    bench.ServePackage(200000);
    bench.MakeController();
    ASSERT_TRUE(WriteWholeFile(bench.StateFile(), FormatSegmentState(0, 150000, 50000) +
                                                      FormatGlobalState(150000, bench.Digest())));
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_EQ(bench.BytesAskedFor(), 200000);
    EXPECT_TRUE(bench.PackageDeliveredAndLaunchedOnce());
}

// A resume file that yields no segment (here: no sections at all) would
// otherwise end every pass before its workers, in this run and the next.
TEST(SessionControllerTest, ResumeFileWithoutSegmentsIsDiscardedAndTheDownloadStartsAfresh) {
    SessionBench bench;
    bench.ServePackage(100000);
    bench.MakeController();
    ASSERT_TRUE(WriteWholeFile(bench.PackageFile(), std::string(100000, '\0')));
    ASSERT_TRUE(WriteWholeFile(bench.StateFile(), "not a resume file\r\n"));
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_EQ(bench.BytesAskedFor(), 100000);
    EXPECT_TRUE(bench.PackageDeliveredAndLaunchedOnce());
}

TEST(SessionControllerTest, FailedCheckDownloadsOnceMoreThenDeletesBothFilesAndGivesUp) {
    SessionBench bench;
    bench.ServePackage(100000, {}, std::string(40, 'A'));  // no file has this digest
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_EQ(bench.BytesAskedFor(), 2 * 100000);
    const auto progress = bench.dialog.ProgressPositions();
    auto full = std::find(progress.begin(), progress.end(), 100);
    ASSERT_NE(full, progress.end());
    EXPECT_NE(std::find(full, progress.end(), 0), progress.end()) << "progress back to 0 %";
    EXPECT_TRUE(ContainsInOrder(
        bench.dialog.StatusTexts(),
        {texts::kLaunching, "", texts::kDownloading, texts::kLaunching, texts::kUnableToDownload}));

    const auto boxes = bench.dialog.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Download failed.\nPlease re-download it.");
    EXPECT_EQ(boxes[0].flags, kMbOk | kMbIconError);
    EXPECT_EQ(bench.dialog.Ended(), DialogEnd::Close);
    EXPECT_TRUE(bench.dialog.Launches().empty());
    EXPECT_EQ(GetPathKind(bench.PackageFile()), kPathNothing);
    EXPECT_EQ(GetPathKind(bench.StateFile()), kPathNothing);
}

TEST(SessionControllerTest, ManifestThatKeepsFailingWhileOnlineIsFetchedAgainOnTheSameStack) {
    SessionBench bench;
    bench.ServePackage(50000);
    ServeFaults broken;
    broken.status = 500;
    bench.server.Serve(SessionBench::kManifestPath, "broken", broken);
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntil([&] { return bench.ManifestRequests() >= 25; }));
    bench.ServeManifest(bench.Digest());
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_EQ(bench.dialog.Launches().size(), 1u);
    EXPECT_TRUE(bench.dialog.Boxes().empty()) << "online: no question";
    // Every pass announces itself from the controller thread; a pass that
    // called the next one would announce it from deeper down the stack.
    std::set<std::uintptr_t> depths;
    std::size_t passes = 0;
    for (const auto& line : bench.dialog.StatusLines()) {
        if (line.text != "Collecting ZEL v3 Setup Info" || line.fromDialogThread) continue;
        ++passes;
        depths.insert(line.stackMark);
    }
    EXPECT_GE(passes, 20u);
    EXPECT_EQ(depths.size(), 1u);
}

TEST(SessionControllerTest, OfflineAtStartAnsweredYesWaitsForTheConnectionThenDownloads) {
    SessionBench bench;
    bench.ServePackage(50000);
    bench.connection.SetOnline(false);
    bench.dialog.Answer(texts::kInternetErrorRetryQuestion, kIdYes,
                        [&] { bench.connection.SetOnline(true); });
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    ASSERT_FALSE(bench.dialog.Boxes().empty());
    EXPECT_EQ(bench.dialog.Boxes()[0].text,
              "Internet Error. Click \"Yes\" to retry or click \"No\" to cancel.");
    EXPECT_EQ(bench.dialog.Boxes()[0].flags, kMbYesNo | kMbIconError);
    EXPECT_TRUE(bench.dialog.SawStatus(texts::kInternetError));
    EXPECT_EQ(bench.dialog.Launches().size(), 1u);
    EXPECT_FALSE(bench.dialog.ExitCode().has_value());
}

TEST(SessionControllerTest, OfflineAtStartAnsweredNoEndsTheProcessWithCodeZero) {
    SessionBench bench;
    bench.ServePackage(50000);
    bench.connection.SetOnline(false);
    bench.dialog.Answer(texts::kInternetErrorRetryQuestion, kIdNo);
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntil([&] { return bench.dialog.ExitCode().has_value(); }));

    EXPECT_EQ(bench.dialog.ExitCode(), 0);
    EXPECT_TRUE(bench.dialog.SawBox("Download failed due to Internet Error!"));
    EXPECT_EQ(bench.ManifestRequests(), 0u);
    EXPECT_TRUE(bench.dialog.Launches().empty());
}

// A first run whose workers all end failed because the line went down ends
// the program, as it always has, but with the reason, and its ranges kept.
TEST(SessionControllerTest, WorkersFailingWhileOfflineEndTheProgramWithTheReason) {
    SessionBench bench(SessionBench::SlowWrites(25));
    ServeFaults failing;
    failing.status = 500;
    bench.ServePackage(8 * 32768);
    bench.server.Serve(SessionBench::kPackagePath, bench.Package(), failing, {ServeFaults()});
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntil([&] { return bench.PackageGets().size() >= 2; }));
    bench.connection.SetOnline(false);
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_EQ(bench.dialog.Ended(), DialogEnd::Close);
    EXPECT_TRUE(bench.dialog.SawBox(texts::kFailedForInternetError));
    EXPECT_EQ(GetPathKind(bench.StateFile()), kPathFile);
    EXPECT_TRUE(bench.dialog.Launches().empty());
}

// Online, but the internet library refuses every session (or is missing):
// the user is told why, with the string table's text, and the program ends
// as a failure, never as a quiet success.
TEST(SessionControllerTest, InternetLibraryThatRefusesASessionIsShownAndEndsWithAFailureCode) {
    SessionBench bench;
    bench.ServePackage(50000);
    SessionController controller(bench.dialog, SessionBench::FastTimings(),
                                 bench.server.Url(SessionBench::kManifestPath),
                                 [](WinInetApi& api) {
                                     BindWinInet(api);
                                     api.InternetOpenA = nullptr;
                                 });
    bench.dialog.Attach(controller);
    controller.StartSessionThread();
    ASSERT_TRUE(bench.dialog.PumpUntil([&] { return bench.dialog.ExitCode().has_value(); }));

    EXPECT_EQ(bench.dialog.ExitCode(), kExitNoInternetSession);
    ASSERT_EQ(bench.dialog.Boxes().size(), 1u);
    EXPECT_EQ(bench.dialog.Boxes()[0].text.rfind("Error connecting to Internet.\n\n", 0), 0u)
        << bench.dialog.Boxes()[0].text;
    EXPECT_EQ(bench.dialog.Boxes()[0].flags, kMbOk | kMbIconError);
    EXPECT_EQ(bench.ManifestRequests(), 0u);
}

// The package first lies on a mirror whose connections break before any
// byte and which then goes away, so that every attempt fails in sending
// while the workers keep trying, until the machine goes offline. The next
// manifest names the bench's own server.
class TransportErrorTest : public ::testing::Test {
  protected:
    static Timings Pacing() {
        Timings timings = SessionBench::FastTimings();
        timings.nextRetryWaitMs = 5;
        return timings;
    }

    void StartUntilTheLineDrops() {
        bench.ServePackage(200000);
        ServeFaults drop;
        drop.dropAfterBytes = 0;
        mirror.Serve(SessionBench::kPackagePath, bench.Package(), drop);
        bench.ServeManifest(bench.Digest(), mirror.Url(SessionBench::kPackagePath));
        bench.Start();
        ASSERT_TRUE(bench.dialog.PumpUntil([&] { return mirror.RequestCount() >= 4; }));
        mirror.Stop();
        bench.dialog.PumpFor(std::chrono::milliseconds(50));
        bench.connection.SetOnline(false);
    }

    void BringTheLineBack() {
        bench.ServeManifest(bench.Digest());
        bench.connection.SetOnline(true);
    }

    SessionBench bench{Pacing()};
    test::FixtureServer mirror;
};

TEST_F(TransportErrorTest, OfflineThenBackResumesFromTheResumeFile) {
    bench.dialog.Answer(texts::kTransportErrorQuestion, kIdYes, [&] { BringTheLineBack(); });
    StartUntilTheLineDrops();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    ASSERT_TRUE(bench.dialog.SawBox("Internet Error! Do you like to retry."));
    EXPECT_EQ(bench.dialog.Boxes()[0].flags, kMbYesNo | kMbIconError);
    EXPECT_TRUE(bench.dialog.SawStatus(texts::kPausedStatus));
    EXPECT_TRUE(
        ContainsInOrder(bench.dialog.ButtonTexts(kPauseButtonId), {texts::kResume, texts::kPause}));
    EXPECT_EQ(bench.dialog.Launches().size(), 1u);
    EXPECT_TRUE(bench.ReadPackageFile() == bench.Package()) << "the package file holds the package";
    EXPECT_EQ(bench.BytesAskedFor(), 200000) << "the resumed ranges, from the new address";
}

// The wait for the line after a transport error, with the machine staying
// offline: only the user can end it.
TEST_F(TransportErrorTest, PauseEndsTheWaitForTheLineAndResumeFinishesFromTheResumeFile) {
    bench.dialog.Answer(texts::kTransportErrorQuestion, kIdYes);  // and stays offline
    StartUntilTheLineDrops();
    ASSERT_TRUE(bench.dialog.PumpUntil(
        [&] { return bench.dialog.SawBox(texts::kTransportErrorQuestion); }));
    const std::size_t manifestsBefore = bench.ManifestRequests();
    bench.controller->OnPauseResume();
    ASSERT_TRUE(bench.dialog.PumpUntil([&] {
        return bench.dialog.Status() == texts::kPausedStatus &&
               bench.dialog.ButtonState(kPauseButtonId).text == texts::kResume &&
               bench.dialog.ButtonState(kPauseButtonId).enabled;
    }));
    EXPECT_TRUE(bench.controller->IsPaused());
    bench.dialog.PumpFor(std::chrono::milliseconds(50));
    EXPECT_EQ(bench.ManifestRequests(), manifestsBefore) << "no pass while paused";
    EXPECT_EQ(GetPathKind(bench.StateFile()), kPathFile) << "the workers' ranges wait";

    BringTheLineBack();
    bench.controller->OnPauseResume();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());
    EXPECT_TRUE(bench.PackageDeliveredAndLaunchedOnce());
    EXPECT_EQ(bench.dialog.Ended(), DialogEnd::Close);
}

TEST_F(TransportErrorTest, CancelDuringTheWaitForTheLineEndsTheProgramAtOnce) {
    bench.dialog.Answer(texts::kTransportErrorQuestion, kIdYes);  // and stays offline
    StartUntilTheLineDrops();
    ASSERT_TRUE(bench.dialog.PumpUntil(
        [&] { return bench.dialog.SawBox(texts::kTransportErrorQuestion); }));
    bench.dialog.Answer(texts::kCancelQuestion, kIdYes);
    bench.controller->OnCancelDownload();

    EXPECT_EQ(bench.dialog.Ended(), DialogEnd::Cancel);
    const std::string stateFile = bench.StateFile();
    bench.controller.reset();  // the waiting controller ends with its owner
    EXPECT_TRUE(bench.dialog.Launches().empty());
    EXPECT_EQ(GetPathKind(stateFile), kPathFile) << "kept for the next run";
}

TEST_F(TransportErrorTest, DecliningToWaitDeletesTheResumeFileAndCloses) {
    bench.dialog.Answer(texts::kTransportErrorQuestion, kIdNo);
    StartUntilTheLineDrops();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_TRUE(bench.dialog.SawBox("Internet Error! Do you like to retry."));
    EXPECT_EQ(bench.dialog.Ended(), DialogEnd::Close);
    EXPECT_TRUE(bench.dialog.Launches().empty());
    EXPECT_EQ(GetPathKind(bench.StateFile()), kPathNothing);
}

TEST(SessionControllerTest, PackageThatCannotBeCreatedShowsTheDiskSpaceMessageAndWaits) {
    SessionBench bench;
    bench.ServePackage(50000);
    bench.MakeController();
    // A folder in the package's place, kept from removal by a file in it.
    std::filesystem::create_directories(bench.PackageFile());
    ASSERT_TRUE(WriteWholeFile(bench.PackageFile() + "/keep", "x"));
    bench.Start();
    ASSERT_TRUE(
        bench.dialog.PumpUntil([&] { return bench.dialog.SawBox(texts::kCannotAllocate); }));

    const auto boxes = bench.dialog.Boxes();
    EXPECT_EQ(boxes.back().text, "Cannot allocate space for a file.\nCheck free disk space.");
    EXPECT_EQ(boxes.back().flags, kMbOk | kMbIconError);
    bench.dialog.PumpFor(std::chrono::milliseconds(100));
    EXPECT_FALSE(bench.dialog.Ended().has_value());
    EXPECT_TRUE(bench.PackageGets().empty());

    // Nothing runs any more: a confirmed Cancel ends the dialog at once.
    bench.dialog.Answer(texts::kCancelQuestion, kIdYes);
    bench.controller->OnCancelDownload();
    EXPECT_EQ(bench.dialog.Ended(), DialogEnd::Cancel);
}

TEST(SessionControllerTest, CancelWhileWaitingForTheConnectionEndsTheDialogAtOnce) {
    SessionBench bench;
    bench.ServePackage(50000);
    bench.connection.SetOnline(false);
    bench.dialog.Answer(texts::kInternetErrorRetryQuestion, kIdYes);  // and stays offline
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntil(
        [&] { return bench.dialog.SawBox(texts::kInternetErrorRetryQuestion); }));
    bench.dialog.Answer(texts::kCancelQuestion, kIdYes);
    bench.controller->OnCancelDownload();

    EXPECT_EQ(bench.dialog.Ended(), DialogEnd::Cancel);
    bench.controller.reset();  // the waiting pass ends with its controller
    EXPECT_TRUE(bench.PackageGets().empty());
    EXPECT_FALSE(bench.dialog.ExitCode().has_value());
}

// The engine's report of one failed worker and a complete last worker has
// the launch request's numbers. It must lead to another pass, which checks
// the file, never to a launch of a file nobody checked.
TEST(SessionControllerTest, ReportOfOneFailedWorkerAndACompleteLastOneIsNeverLaunchedUnchecked) {
    SessionBench bench;
    bench.ServePackage(100000);
    SessionController& controller = bench.MakeController();
    std::string damaged = bench.Package();
    damaged[50000] ^= 0x55;
    ASSERT_TRUE(WriteWholeFile(bench.PackageFile(), damaged));
    // A run whose last worker wrote one piece, the package's first.
    DownloadEngine& engine = controller.Engine();
    SetupManifest manifest;
    manifest.setupUrl = bench.server.Url(SessionBench::kPackagePath);
    manifest.saveFileName = "setup.exe";
    manifest.totalSize = 100000;
    ASSERT_TRUE(engine.SetManifest(manifest));
    ASSERT_TRUE(engine.OpenTargetFile(bench.PackageFile()));
    ASSERT_TRUE(engine.OpenInternetSession());
    ASSERT_TRUE(engine.AddSegment(0, 0, 32768));
    ASSERT_TRUE(engine.StartWorkers(true));
    ASSERT_TRUE(bench.dialog.PumpUntil([&] { return engine.RunningWorkers() == 0; }));
    ASSERT_EQ(engine.LastWorkerBytes(), 32768);

    controller.OnDownloadFinished(1, ResultComplete);
    EXPECT_TRUE(bench.dialog.Launches().empty());

    ASSERT_TRUE(bench.dialog.PumpUntilEnded());
    EXPECT_EQ(bench.dialog.Launches(), std::vector<std::string>{bench.PackageFile()});
    EXPECT_TRUE(bench.ReadPackageFile() == bench.Package()) << "the package file holds the package";
    EXPECT_EQ(bench.BytesAskedFor(), 32768 + 100000);
}

// Every wait of a run's end (and the digest check, the launch, the polls of
// the line) happens where the dialog's thread stays free: a message posted
// to the dialog at the start of each is handled before the wait goes on.
// Were a wait on the dialog's thread, the message would wait for it.
class WaitWatch {
  public:
    static constexpr unsigned kProbe = 0x8123;  // a message of the test's own

    explicit WaitWatch(SessionBench& bench) {
        bench.MakeController().SetWaitObserver([this, &bench](const char* wait) {
            const std::size_t before = bench.dialog.Handled(kProbe);
            bench.dialog.PostDialogMessage(kProbe, 0, 0);
            const bool handled =
                test::WaitUntil([&] { return bench.dialog.Handled(kProbe) > before; });
            std::lock_guard<std::mutex> lock(mutex_);
            (handled ? answered_ : unanswered_).insert(wait);
        });
    }

    std::set<std::string> Answered() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return answered_;
    }
    std::set<std::string> Unanswered() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return unanswered_;
    }

  private:
    mutable std::mutex mutex_;
    std::set<std::string> answered_;
    std::set<std::string> unanswered_;
};

TEST(SessionControllerTest, PauseResumeAndLaunchWaitWhileTheDialogHandlesItsMessages) {
    SessionBench bench(SessionBench::SlowWrites(25));
    bench.ServePackage(16 * 32768);
    WaitWatch watch(bench);
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntil(
        [&] { return bench.dialog.Status().rfind("Total Progress Percentage:: ", 0) == 0; }));
    bench.controller->OnPauseResume();
    ASSERT_TRUE(bench.dialog.PumpUntil([&] {
        return bench.dialog.ButtonState(kPauseButtonId).text == texts::kResume &&
               bench.dialog.ButtonState(kPauseButtonId).enabled;
    }));
    bench.controller->OnPauseResume();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_TRUE(bench.PackageDeliveredAndLaunchedOnce());
    EXPECT_TRUE(watch.Unanswered().empty());
    for (const char* wait : {"pause", "workers", "settle", "digest", "launch"})
        EXPECT_EQ(watch.Answered().count(wait), 1u) << wait;
}

TEST_F(TransportErrorTest, WaitsForTheLostLineLeaveTheDialogFree) {
    WaitWatch watch(bench);
    bench.dialog.Answer(texts::kTransportErrorQuestion, kIdYes, [&] { BringTheLineBack(); });
    StartUntilTheLineDrops();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_EQ(bench.dialog.Launches().size(), 1u);
    EXPECT_TRUE(watch.Unanswered().empty());
    for (const char* wait : {"line", "connection", "workers", "settle", "digest", "launch"})
        EXPECT_EQ(watch.Answered().count(wait), 1u) << wait;
}

// The finished report never travels through the dialog's queue: a queue
// that refuses every post (as a full one does) loses nothing.
TEST(SessionControllerTest, FinishedReportArrivesWhenTheDialogsQueueRefusesEveryPost) {
    SessionBench bench;
    bench.ServePackage(300000);
    bench.dialog.RefusePosts();
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_EQ(bench.dialog.Ended(), DialogEnd::Close);
    EXPECT_TRUE(bench.PackageDeliveredAndLaunchedOnce());
    EXPECT_EQ(bench.dialog.ProgressPositions().back(), 100);
    EXPECT_EQ(bench.dialog.Status(), texts::kCompleted);
}

}  // namespace
}  // namespace zel

// --- Faults that last ----------------------------------------------------------

namespace zel {
namespace {

std::vector<std::string> RequestLines(const test::FixtureServer& server) {
    std::vector<std::string> lines;
    for (const auto& request : server.Requests())
        lines.push_back(request.method + " " + request.path);
    return lines;
}

Timings HighestBackOff(test::RetryWaitLog& log) {
    Timings timings = SessionBench::FastTimings();
    timings.sessionRetryWaitMs = 2;
    timings.connectivityWaitMs = 2;
    timings.backOffCapMs = 16;
    timings.backOffRandom = test::HighestDraws();
    log.Attach(timings);
    return timings;
}

}  // namespace

// Two alternates; the choice of position always takes the second, whose
// package is gone. Its 404 sends the next pass to the first, which delivers.
TEST(SessionControllerTest, A404OnOneAlternateSendsTheNextPassToAnother) {
    SessionBench bench;
    bench.ServePackage(50000);
    const std::string gone = "/gone/setup.exe";
    bench.server.Serve(SessionBench::kManifestPath,
                       "<zel><alternate_url_count>2</alternate_url_count>"
                       "<alternate_setupurl>" +
                           bench.server.Url(SessionBench::kPackagePath) +
                           "</alternate_setupurl><alternate_setupurl>" + bench.server.Url(gone) +
                           "</alternate_setupurl><flag>\"" + bench.Digest() + "\"</flag></zel>");
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_TRUE(bench.PackageDeliveredAndLaunchedOnce());
    const auto lines = RequestLines(bench.server);
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(
        std::vector<std::string>(lines.begin(), lines.begin() + 6),
        (std::vector<std::string>{"HEAD /zelv3.xml", "GET /zelv3.xml", "HEAD " + gone,
                                  "HEAD /zelv3.xml", "GET /zelv3.xml", "HEAD /files/setup.exe"}));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "HEAD " + gone), 1);
}

// A package that stays missing: each pass after the first waits longer, up
// to the cap, while the status line says what it always said.
TEST(SessionControllerTest, PassesThatKeepFailingWaitLongerUpToTheCap) {
    test::RetryWaitLog log;
    SessionBench bench(HighestBackOff(log));
    bench.ServePackage(50000);
    bench.server.Remove(SessionBench::kPackagePath);
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntil([&] { return log.Of(RetryLoop::Pass).size() >= 7; }));
    bench.ServePackage(50000);
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    const auto waits = log.Of(RetryLoop::Pass);
    EXPECT_EQ(std::vector<unsigned>(waits.begin(), waits.begin() + 7),
              (std::vector<unsigned>{2, 4, 8, 16, 16, 16, 16}));
    EXPECT_TRUE(bench.dialog.SawStatus(texts::kInternetError));
    EXPECT_TRUE(bench.dialog.Boxes().empty()) << "online: no question";
    EXPECT_EQ(bench.dialog.Launches().size(), 1u);
}

// The package's size answered 503 with "Retry-After: 3", a server second
// made 100 ms: the next pass asks again no sooner than 300 ms later.
TEST(SessionControllerTest, RetryAfterOnThePackageSizeDelaysTheNextPass) {
    Timings timings = SessionBench::FastTimings();
    timings.retryAfterSecondMs = 100;
    SessionBench bench(timings);
    bench.ServePackage(50000);
    ServeFaults busy;
    busy.status = 503;
    busy.retryAfter = "3";
    bench.server.Serve(SessionBench::kPackagePath, bench.Package(), ServeFaults(), {busy});
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_TRUE(bench.PackageDeliveredAndLaunchedOnce());
    const auto requests = bench.server.Requests();
    ASSERT_GE(requests.size(), 4u);
    EXPECT_EQ(requests[2].method + " " + requests[2].path, "HEAD /files/setup.exe");
    EXPECT_EQ(requests[3].path, SessionBench::kManifestPath);
    EXPECT_GE(requests[3].at - requests[2].at, std::chrono::milliseconds(300));
}

// The connection stays lost after the user said Yes: the polls come further
// and further apart, up to the cap, and the download goes on once it is back.
TEST(SessionControllerTest, PollsForALostConnectionComeFurtherApartUpToTheCap) {
    test::RetryWaitLog log;
    SessionBench bench(HighestBackOff(log));
    bench.ServePackage(50000);
    bench.connection.SetOnline(false);
    bench.dialog.Answer(texts::kInternetErrorRetryQuestion, kIdYes);
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntil([&] { return log.Of(RetryLoop::Reconnect).size() >= 6; }));
    bench.connection.SetOnline(true);
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    const auto waits = log.Of(RetryLoop::Reconnect);
    EXPECT_EQ(std::vector<unsigned>(waits.begin(), waits.begin() + 6),
              (std::vector<unsigned>{2, 4, 8, 16, 16, 16}));
    EXPECT_EQ(bench.dialog.Boxes().size(), 1u) << "asked once";
    EXPECT_EQ(bench.dialog.Launches().size(), 1u);
}

}  // namespace zel
