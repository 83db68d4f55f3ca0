// The workers against real HTTP servers on 127.0.0.1, writing real files.
// The dialog tries to delete the segment records the very moment the
// finished message is posted, so every run here also proves that the engine
// keeps them while a worker runs (AddressSanitizer and ThreadSanitizer watch).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "engine/digest/file_digest.h"
#include "engine/download_engine.h"
#include "engine/segments/resume_state.h"
#include "support/engine_access.h"
#include "support/fake_connection.h"
#include "support/fixture_server.h"
#include "support/internet_cache.h"
#include "support/recording_engine_dialog.h"
#include "support/retry_wait_log.h"
#include "support/scripted_http_server.h"
#include "support/temp_folder.h"
#include "support/test_authority.h"
#include "support/test_bytes.h"
#include "support/worker_hooks.h"

namespace zel {

using test::EngineAccess;

namespace {

using test::FinishLog;
using test::FixtureServer;
using test::WaitUntil;
using test::WriteGate;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

constexpr char kPackageName[] = "setup.exe";
constexpr char kPackageUrlPath[] = "/setup.exe";

// Tries to delete the records while the last worker is still inside its
// finished hook, earlier than any dialog could: the engine must refuse.
class ClearingDialog : public test::RecordingEngineDialog {
  public:
    DownloadEngine* engine = nullptr;
    std::atomic<int> cleared{0};
    void PostDialogMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        RecordingEngineDialog::PostDialogMessage(message, wParam, lParam);
        if (message == WM_DOWNLOAD_FINISHED && engine && engine->ClearSegments()) ++cleared;
    }
};

}  // namespace

class SegmentedDownloadTest : public ::testing::Test {
  protected:
    void SetUp() override { MakeEngine(Timings::Instant()); }

    void MakeEngine(const Timings& timings) {
        dialog.engine = nullptr;
        engine = std::make_unique<DownloadEngine>(dialog, timings, connection.Binder());
        dialog.engine = engine.get();
        engine->SetInstallFolder(scratch.folder());
        engine->SetNotifyWindow(&dialog);
        ASSERT_TRUE(engine->OpenInternetSession());
    }

    std::string PackagePath() const { return scratch.File(kPackageName); }

    // A fresh download of body from url in count segments, as the controller
    // prepares it.
    void PrepareFresh(const std::string& url, const std::string& body, unsigned count) {
        SetupManifest edited = engine->Manifest();
        edited.setupUrl = url;
        edited.setupHash = DigestOf(body);
        edited.saveFileName = kPackageName;
        edited.threadCount = static_cast<std::uint8_t>(count);
        ASSERT_TRUE(engine->SetManifest(edited));
        ASSERT_TRUE(engine->PrepareFreshDownload(static_cast<std::int32_t>(body.size())));
        ASSERT_EQ(EngineAccess::SegmentCount(*engine), count);
    }
    void ServeAndPrepare(const std::string& body, unsigned count,
                         const FixtureServer::Faults& faults = FixtureServer::Faults()) {
        server.Serve(kPackageUrlPath, body, faults);
        PrepareFresh(server.Url(kPackageUrlPath), body, count);
    }

    std::vector<test::RecordingEngineDialog::PostedMessage> Posted(unsigned message) const {
        std::vector<test::RecordingEngineDialog::PostedMessage> found;
        for (const auto& posted : dialog.Posted())
            if (posted.message == message) found.push_back(posted);
        return found;
    }
    // Waits for the run's finished message and for its workers to leave.
    void WaitForFinished(size_t runs = 1) {
        ASSERT_TRUE(WaitUntil([&] { return Posted(WM_DOWNLOAD_FINISHED).size() >= runs; }));
        ASSERT_TRUE(WaitUntil([&] { return engine->RunningWorkers() == 0; }));
        EXPECT_EQ(dialog.cleared.load(), 0) << "records deleted under a running worker";
    }
    // nginx's package from origin (the fixture's scheme, host and port) in
    // three segments, put together and verified against the fixture's digest.
    void DownloadFromNginxAndVerify(const std::string& origin, const char* size,
                                    const char* digest) {
        SetupManifest edited = engine->Manifest();
        edited.setupUrl = origin + "/setup.bin";
        edited.totalSize = std::atoi(size);
        edited.setupHash = digest;
        edited.saveFileName = kPackageName;
        ASSERT_TRUE(engine->SetManifest(edited));
        ASSERT_TRUE(engine->CreateTargetFile(PackagePath(), edited.totalSize));
        std::uint8_t index = 0;
        for (const SegmentRange& range : SplitIntoSegments(edited.totalSize, 3))
            engine->AddSegment(index++, range.start, range.length);
        ASSERT_TRUE(engine->StartWorkers(false));
        WaitForFinished();
        EXPECT_EQ(Posted(WM_DOWNLOAD_FINISHED).at(0).lParam, ResultComplete);
        EXPECT_TRUE(engine->VerifyDownloadedFile());
    }
    std::vector<std::string> RangesAsked() const {
        std::vector<std::string> ranges;
        for (const auto& request : server.Requests())
            if (request.method == "GET") ranges.push_back(request.range);
        return ranges;
    }
    std::string StateFile() const { return scratch.Read(kStateFileName); }
    // Runs before every write of segment 0, on its worker; false fails that
    // write instead of making it.
    void BeforeEachWrite(std::function<bool(std::int32_t offset, std::int32_t count)> before) {
        auto write = EngineAccess::Hooks(*engine, 0).writeAt;
        EngineAccess::Hooks(*engine, 0).writeAt =
            [before, write](std::uint8_t i, std::int32_t offset, const char* buffer,
                            std::int32_t count, std::int32_t* written) {
                return before(offset, count) && write(i, offset, buffer, count, written);
            };
    }

    static constexpr const char* kStateFileName = DownloadEngine::kStateFileName;

    test::FakeConnection connection;
    TempFolder scratch;
    FixtureServer server;
    ClearingDialog dialog;
    std::unique_ptr<DownloadEngine> engine;
};

TEST_F(SegmentedDownloadTest, SplitRangesAreAskedForAndLandAtTheirOffsets) {
    std::string body = PseudoRandomBytes(10);
    ServeAndPrepare(body, 3);
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();

    EXPECT_THAT(RangesAsked(), UnorderedElementsAre("bytes=0-2", "bytes=3-5", "bytes=6-9"));
    EXPECT_EQ(scratch.Read(kPackageName), body);
    auto finished = Posted(WM_DOWNLOAD_FINISHED);
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0].wParam, 0u);
    EXPECT_EQ(finished[0].lParam, ResultComplete);
    EXPECT_FALSE(scratch.Exists(kStateFileName));
    EXPECT_TRUE(engine->VerifyDownloadedFile());
    EXPECT_FALSE(EngineAccess::IsTargetFileOpen(*engine));
}

TEST_F(SegmentedDownloadTest, ProgressTotalsRiseStrictlyUpToThePackageSize) {
    ServeAndPrepare(PseudoRandomBytes(300000), 2);
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();
    auto progress = Posted(WM_DOWNLOAD_PROGRESS);
    ASSERT_FALSE(progress.empty());
    for (size_t i = 1; i < progress.size(); ++i)
        EXPECT_LT(progress[i - 1].wParam, progress[i].wParam);
    EXPECT_EQ(progress.back().wParam, 300000u);
    EXPECT_EQ(engine->TotalWritten(), 300000);
}

TEST_F(SegmentedDownloadTest, PauseWhileBothWorkersReadSavesBothRangesAndOneGlobalSection) {
    std::string body = PseudoRandomBytes(400000);
    ServeAndPrepare(body, 2);
    WriteGate gate(*engine);
    FinishLog finishes;
    for (std::size_t i = 0; i < EngineAccess::SegmentCount(*engine); ++i) {
        gate.Hold(EngineAccess::Hooks(*engine, i));
        finishes.Watch(EngineAccess::Hooks(*engine, i));
    }
    ASSERT_TRUE(engine->StartWorkers(false));
    ASSERT_TRUE(WaitUntil([&] { return gate.Writers() == 2; }));
    EXPECT_TRUE(engine->RequestStop());
    EXPECT_FALSE(engine->RequestStop());
    WaitForFinished();

    auto finished = Posted(WM_DOWNLOAD_FINISHED);
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0].lParam, ResultStopped);
    const std::int32_t starts[] = {0, 200000};
    std::string expected;
    for (std::uint8_t index : finishes.Order()) {
        std::int32_t done = gate.WrittenBy(index);
        expected += FormatSegmentState(index, starts[index] + done, 200000 - done);
    }
    std::int32_t total = gate.WrittenBy(0) + gate.WrittenBy(1);
    expected += FormatGlobalState(total, engine->Manifest().setupHash);
    EXPECT_EQ(StateFile(), expected);
    EXPECT_EQ(engine->TotalWritten(), total);
}

TEST_F(SegmentedDownloadTest, PauseAfterSegmentZeroCompletedSavesOnlySegmentOne) {
    std::string body = PseudoRandomBytes(400000);
    ServeAndPrepare(body, 2);
    WriteGate gate(*engine);
    FinishLog finishes;
    gate.Hold(EngineAccess::Hooks(*engine, 1));
    finishes.Watch(EngineAccess::Hooks(*engine, 0));
    ASSERT_TRUE(engine->StartWorkers(false));
    ASSERT_TRUE(WaitUntil([&] { return finishes.Order().size() == 1 && gate.Writers() == 1; }));
    ASSERT_TRUE(engine->RequestStop());
    WaitForFinished();

    std::int32_t done = gate.WrittenBy(1);
    EXPECT_EQ(StateFile(), FormatSegmentState(1, 200000 + done, 200000 - done) +
                               FormatGlobalState(200000 + done, engine->Manifest().setupHash));
    EXPECT_EQ(scratch.Read(kPackageName).substr(0, 200000), body.substr(0, 200000));
    EXPECT_EQ(Posted(WM_DOWNLOAD_FINISHED).at(0).lParam, ResultStopped);
}

TEST_F(SegmentedDownloadTest, ResumeFetchesOnlyTheMissingRangesAndEndsVerified) {
    std::string body = PseudoRandomBytes(400000);
    ServeAndPrepare(body, 2);
    WriteGate gate(*engine);
    for (std::size_t i = 0; i < EngineAccess::SegmentCount(*engine); ++i)
        gate.Hold(EngineAccess::Hooks(*engine, i));
    ASSERT_TRUE(engine->StartWorkers(false));
    ASSERT_TRUE(WaitUntil([&] { return gate.Writers() == 2; }));
    engine->RequestStop();
    WaitForFinished();
    std::int32_t done0 = gate.WrittenBy(0);
    std::int32_t done1 = gate.WrittenBy(1);

    // The controller's next pass, in its order.
    server.ClearRequests();
    ASSERT_TRUE(engine->OpenInternetSession());
    {
        SetupManifest edited = engine->Manifest();
        edited.threadCount = 9;
        ASSERT_TRUE(engine->SetManifest(edited));
    }
    ASSERT_TRUE(engine->LoadResumeState());
    EXPECT_EQ(engine->Manifest().threadCount, 2);
    EXPECT_EQ(engine->Manifest().savedSetupHash, engine->Manifest().setupHash);
    EXPECT_EQ(engine->TotalWritten(), done0 + done1);
    EXPECT_EQ(Posted(WM_DOWNLOAD_PROGRESS).back().wParam,
              static_cast<std::uintptr_t>(done0 + done1));
    size_t restoredAt = Posted(WM_DOWNLOAD_PROGRESS).size();
    ASSERT_TRUE(engine->OpenTargetFile(PackagePath()));
    ASSERT_TRUE(engine->StartWorkers(true));
    engine->DeleteResumeState();
    WaitForFinished(2);

    EXPECT_THAT(RangesAsked(),
                UnorderedElementsAre("bytes=" + std::to_string(done0) + "-199999",
                                     "bytes=" + std::to_string(200000 + done1) + "-399999"));
    // From the restored total on, every write raises it.
    auto progress = Posted(WM_DOWNLOAD_PROGRESS);
    for (size_t i = restoredAt; i < progress.size(); ++i)
        EXPECT_LT(progress[i - 1].wParam, progress[i].wParam);
    EXPECT_EQ(progress.back().wParam, 400000u);
    EXPECT_EQ(Posted(WM_DOWNLOAD_FINISHED).back().lParam, ResultComplete);
    EXPECT_FALSE(scratch.Exists(kStateFileName));
    EXPECT_EQ(scratch.Read(kPackageName), body);
    EXPECT_TRUE(engine->VerifyDownloadedFile());
}

// The controller deletes the resume file right after a resumed start; a
// worker that has ended by then must not lose its section to that delete.
TEST_F(SegmentedDownloadTest, ResumedWorkerEndingBeforeTheDeleteKeepsItsSection) {
    FixtureServer::Faults missing;
    missing.status = 404;
    ServeAndPrepare(PseudoRandomBytes(1000), 1, missing);
    engine->ClearSegments();
    connection.SetOnline(false);
    scratch.Write(kStateFileName, FormatSegmentState(0, 100, 900) + FormatGlobalState(100, "HASH"));
    ASSERT_TRUE(engine->LoadResumeState());
    ASSERT_TRUE(engine->OpenTargetFile(PackagePath()));
    ASSERT_TRUE(engine->StartWorkers(true));
    WaitForFinished();
    engine->DeleteResumeState();

    EXPECT_EQ(StateFile(), FormatSegmentState(0, 100, 900) +
                               FormatGlobalState(100, engine->Manifest().setupHash));
    EXPECT_EQ(Posted(WM_DOWNLOAD_FINISHED).at(0).lParam, ResultFailed);
    EXPECT_EQ(Posted(WM_DOWNLOAD_FINISHED).at(0).wParam, 1u);
    engine->DeleteResumeState();  // a later delete (a restart) still deletes
    EXPECT_FALSE(scratch.Exists(kStateFileName));
}

TEST_F(SegmentedDownloadTest, DroppedConnectionIsRetriedFromTheFirstMissingByte) {
    std::string body = PseudoRandomBytes(300000);
    FixtureServer::Faults drop;
    drop.dropAfterBytes = 100000;
    ServeAndPrepare(body, 1, drop);
    BeforeEachWrite([&](std::int32_t, std::int32_t) {
        server.Serve(kPackageUrlPath, body);  // the next connection holds
        return true;
    });
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();

    auto ranges = RangesAsked();
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0], "bytes=0-299999");
    int resumedAt = std::stoi(ranges[1].substr(6));
    EXPECT_GT(resumedAt, 0);
    EXPECT_LE(resumedAt, 100000);
    EXPECT_EQ(ranges[1], "bytes=" + std::to_string(resumedAt) + "-299999");
    EXPECT_EQ(scratch.Read(kPackageName), body);
    EXPECT_EQ(Posted(WM_DOWNLOAD_FINISHED).at(0).lParam, ResultComplete);
}

TEST_F(SegmentedDownloadTest, AnswerEndingEarlyIsRetriedForTheRestOnly) {
    std::string body = PseudoRandomBytes(300000);
    FixtureServer::Faults cut;
    cut.cutBodyAt = 50000;
    ServeAndPrepare(body, 1, cut);
    BeforeEachWrite([&](std::int32_t offset, std::int32_t count) {
        if (offset + count >= 50000) server.Serve(kPackageUrlPath, body);
        return true;
    });
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();
    EXPECT_THAT(RangesAsked(), ElementsAre("bytes=0-299999", "bytes=50000-299999"));
    EXPECT_EQ(scratch.Read(kPackageName), body);
}

TEST_F(SegmentedDownloadTest, ServerIgnoringRangeStillYieldsTheRightFile) {
    std::string body = PseudoRandomBytes(300000);
    FixtureServer::Faults ignore;
    ignore.ignoreRange = true;
    ServeAndPrepare(body, 3, ignore);
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();
    EXPECT_EQ(scratch.Read(kPackageName), body);
    EXPECT_TRUE(engine->VerifyDownloadedFile());
}

// How a reset in mid-body reads depends on the library: an error (a
// transport error) or an early end of data (a failed attempt, as Wine's
// wininet has it). Either way the worker gives up offline and saves the rest.
TEST_F(SegmentedDownloadTest, DropWhileOfflineEndsTheWorkerAndSavesTheRest) {
    FixtureServer::Faults drop;
    drop.dropAfterBytes = 100000;
    ServeAndPrepare(PseudoRandomBytes(300000), 1, drop);
    connection.SetOnline(false);
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();

    auto finished = Posted(WM_DOWNLOAD_FINISHED);
    ASSERT_EQ(finished.size(), 1u);
    ASSERT_TRUE(finished[0].lParam == ResultTransportError || finished[0].lParam == ResultFailed);
    EXPECT_EQ(finished[0].wParam, finished[0].lParam == ResultFailed ? 1u : 0u);
    EXPECT_EQ(RangesAsked().size(), 1u);
    std::int32_t done = engine->TotalWritten();
    EXPECT_EQ(StateFile(), FormatSegmentState(0, done, 300000 - done) +
                               FormatGlobalState(done, engine->Manifest().setupHash));
}

TEST_F(SegmentedDownloadTest, UnreachableServerWhileOfflineIsATransportError) {
    std::uint16_t port = 0;
    test::TestSocket::ListenOnLoopback(port).Close();  // a port where nobody listens
    PrepareFresh("http://127.0.0.1:" + std::to_string(port) + "/setup.exe", PseudoRandomBytes(1000),
                 2);
    connection.SetOnline(false);
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();

    auto finished = Posted(WM_DOWNLOAD_FINISHED);
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0].lParam, ResultTransportError);
    EXPECT_EQ(finished[0].wParam, 0u);
    ResumeState state;
    ASSERT_EQ(ReadResumeState(scratch.File(kStateFileName), 1000, &state),
              ResumeReadResult::Readable);
    EXPECT_EQ(state.segments.size(), 2u);
    EXPECT_TRUE(state.hasGlobal);
}

TEST_F(SegmentedDownloadTest, RecordWithoutUrlStopsWithItsWholeRangeSaved) {
    PrepareFresh("", PseudoRandomBytes(1000), 1);
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();
    auto boxes = dialog.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Not able to collect download information!");
    EXPECT_EQ(boxes[0].flags, kMbOk);
    EXPECT_EQ(Posted(WM_DOWNLOAD_FINISHED).at(0).lParam, ResultStopped);
    EXPECT_EQ(StateFile(),
              "[Thread 00]\r\nStartPos=0\r\nChunkLength=1000\r\n\r\n"
              "[Global]\r\nTotalDownloaded=0\r\nSetupHash=" +
                  engine->Manifest().setupHash + "\r\n\r\n");
}

TEST_F(SegmentedDownloadTest, EmptySegmentsCompleteWithoutARequest) {
    std::string body = PseudoRandomBytes(2);
    ServeAndPrepare(body, 3);
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();
    EXPECT_THAT(RangesAsked(), ElementsAre("bytes=0-1"));
    EXPECT_EQ(Posted(WM_DOWNLOAD_FINISHED).at(0).lParam, ResultComplete);
    EXPECT_EQ(scratch.Read(kPackageName), body);
}

TEST_F(SegmentedDownloadTest, WorkerThatCannotBeCreatedWindsTheRunUp) {
    ServeAndPrepare(PseudoRandomBytes(300000), 3);
    WriteGate gate(*engine);
    gate.Hold(EngineAccess::Hooks(*engine, 0));
    int launches = 0;
    EngineAccess::SetWorkerLauncher(*engine, [&](std::function<void()> body, std::thread& thread) {
        if (++launches == 2) return false;
        return LaunchThread(std::move(body), thread);
    });
    EXPECT_FALSE(engine->StartWorkers(false));
    WaitForFinished();

    EXPECT_EQ(launches, 2);
    EXPECT_EQ(Posted(WM_DOWNLOAD_FINISHED).size(), 1u);
    ResumeState state;
    ASSERT_EQ(ReadResumeState(scratch.File(kStateFileName), 300000, &state),
              ResumeReadResult::Readable);
    ASSERT_EQ(state.segments.size(), 3u);
    EXPECT_EQ(state.segments[0].start, gate.WrittenBy(0));
    EXPECT_EQ(state.segments[1].start, 100000);
    EXPECT_EQ(state.segments[1].length, 100000);
    EXPECT_EQ(state.segments[2].start, 200000);
    EXPECT_EQ(state.segments[2].length, 100000);
    EXPECT_TRUE(state.hasGlobal);
    for (const std::string& range : RangesAsked()) EXPECT_EQ(range, "bytes=0-99999");
}

// During the stagger before the second launch the first worker may already
// have ended, so that no worker runs; the records are still about to be
// handed out and must stay.
TEST_F(SegmentedDownloadTest, RecordsStayWhileWorkersAreStillBeingStarted) {
    Timings timings = Timings::Instant();
    timings.workerStartStaggerMs = 1500;
    MakeEngine(timings);
    std::string body = PseudoRandomBytes(20);
    ServeAndPrepare(body, 2);
    std::atomic<int> launches{0};
    EngineAccess::SetWorkerLauncher(*engine,
                                    [&](std::function<void()> launch, std::thread& thread) {
                                        ++launches;
                                        return LaunchThread(std::move(launch), thread);
                                    });
    std::thread starter([&] { EXPECT_TRUE(engine->StartWorkers(false)); });
    ASSERT_TRUE(WaitUntil([&] { return launches == 1 && engine->RunningWorkers() == 0; }));
    EXPECT_FALSE(engine->ClearSegments());
    starter.join();
    WaitForFinished();
    EXPECT_EQ(scratch.Read(kPackageName), body);
}

TEST_F(SegmentedDownloadTest, DestroyingTheEngineStopsAndJoinsRunningWorkers) {
    ServeAndPrepare(PseudoRandomBytes(400000), 2);
    WriteGate gate(*engine);
    for (std::size_t i = 0; i < EngineAccess::SegmentCount(*engine); ++i)
        gate.Hold(EngineAccess::Hooks(*engine, i));
    ASSERT_TRUE(engine->StartWorkers(false));
    ASSERT_TRUE(WaitUntil([&] { return gate.Writers() == 2; }));
    dialog.engine = nullptr;
    engine.reset();
    EXPECT_EQ(Posted(WM_DOWNLOAD_FINISHED).size(), 1u);
    ResumeState state;
    EXPECT_EQ(ReadResumeState(scratch.File(kStateFileName), 400000, &state),
              ResumeReadResult::Readable);
    EXPECT_EQ(state.segments.size(), 2u);
}

TEST_F(SegmentedDownloadTest, FailedWriteIsFetchedAgain) {
    std::string body = PseudoRandomBytes(200000);
    ServeAndPrepare(body, 1);
    int calls = 0;
    BeforeEachWrite([&](std::int32_t, std::int32_t) { return ++calls != 2; });
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();
    EXPECT_EQ(RangesAsked().size(), 2u);
    EXPECT_EQ(scratch.Read(kPackageName), body);
    EXPECT_EQ(engine->TotalWritten(), 200000);
}

TEST_F(SegmentedDownloadTest, CreateTargetFileFillsWithZeros) {
    ASSERT_TRUE(engine->CreateTargetFile(PackagePath(), 0));
    engine->CloseTargetFile();
    EXPECT_EQ(scratch.Read(kPackageName), "");
    ASSERT_TRUE(engine->CreateTargetFile(PackagePath(), 300000));
    engine->CloseTargetFile();
    EXPECT_EQ(scratch.Read(kPackageName), std::string(300000, '\0'));
}

TEST_F(SegmentedDownloadTest, FailedPreallocationClosesItsFile) {
    EXPECT_FALSE(engine->CreateTargetFile(PackagePath(), -1));
    EXPECT_FALSE(EngineAccess::IsTargetFileOpen(*engine));
    // Windows refuses to delete a file that a handle without delete sharing
    // holds open: the controller's fresh start deletes the package first.
    EXPECT_TRUE(TargetFile::Delete(PackagePath()));
    EXPECT_FALSE(engine->CreateTargetFile(scratch.File("missing/setup.exe"), 10));
    EXPECT_FALSE(EngineAccess::IsTargetFileOpen(*engine));
    EXPECT_FALSE(engine->OpenTargetFile(scratch.File("other.exe")));
}

// Answers that would put bytes at the wrong place: a 206 for another first
// byte, a 206 of a package of another size, a 206 without its range, a 200
// of another length. Each attempt fails with nothing written.
TEST_F(SegmentedDownloadTest, AnswerForAnotherRangeOrPackageIsNeverWritten) {
    std::string body = PseudoRandomBytes(1000);
    const std::string answers[] = {
        test::ScriptedHttpServer::Answer("206 Partial Content",
                                         "Content-Range: bytes 1-999/1000\r\n", body.substr(1)),
        test::ScriptedHttpServer::Answer("206 Partial Content",
                                         "Content-Range: bytes 0-999/2000\r\n", body),
        test::ScriptedHttpServer::Answer("206 Partial Content", "", body),
        test::ScriptedHttpServer::Answer("200 OK", "", body + "more"),
    };
    connection.SetOnline(false);
    for (const std::string& answer : answers) {
        test::ScriptedHttpServer scripted([&](const std::string&) { return answer; });
        dialog.engine = engine.get();
        ASSERT_TRUE(engine->OpenInternetSession());
        PrepareFresh(scripted.Url("/setup.exe"), body, 1);
        size_t runs = Posted(WM_DOWNLOAD_FINISHED).size();
        engine->StartWorkers(false);
        WaitForFinished(runs + 1);
        EXPECT_EQ(Posted(WM_DOWNLOAD_FINISHED).back().lParam, ResultFailed) << answer.substr(0, 16);
        EXPECT_EQ(scratch.Read(kPackageName), std::string(1000, '\0'));
        EXPECT_TRUE(Posted(WM_DOWNLOAD_PROGRESS).empty());
        engine->DeleteResumeState();
    }
}

TEST_F(SegmentedDownloadTest, ShortPartialAnswerIsWrittenAndTheRestAskedFor) {
    std::string body = PseudoRandomBytes(1000);
    test::ScriptedHttpServer scripted([&](const std::string& range) {
        if (range == "bytes=0-999")
            return test::ScriptedHttpServer::Answer(
                "206 Partial Content", "Content-Range: bytes 0-499/1000\r\n", body.substr(0, 500));
        return test::ScriptedHttpServer::Answer(
            "206 Partial Content", "Content-Range: bytes 500-999/1000\r\n", body.substr(500));
    });
    PrepareFresh(scripted.Url("/setup.exe"), body, 1);
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();
    EXPECT_THAT(scripted.Ranges(), ElementsAre("bytes=0-999", "bytes=500-999"));
    EXPECT_EQ(scratch.Read(kPackageName), body);
}

// A line that sends 16 KiB, then falls silent a little longer than the
// receive time-out: each read takes what has arrived, so every attempt keeps
// its burst and the next one asks only for the rest.
TEST_F(SegmentedDownloadTest, LineFallingSilentLongerThanTheTimeOutStillMakesProgress) {
    Timings timings = Timings::Instant();
    timings.requestTimeoutMs = 400;
    MakeEngine(timings);
    std::string body = PseudoRandomBytes(4 * 16384);
    FixtureServer::Faults bursts;
    bursts.burstBytes = 16384;
    bursts.burstGapMs = 700;
    ServeAndPrepare(body, 1, bursts);
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();

    EXPECT_TRUE(scratch.Read(kPackageName) == body) << "the package file holds the package";
    auto ranges = RangesAsked();
    for (size_t i = 1; i < ranges.size(); ++i)
        EXPECT_GT(std::stoi(ranges[i].substr(6)), std::stoi(ranges[i - 1].substr(6))) << i;
}

// The write pause is paid once per write: data that arrives in small pieces
// is still written in whole buffers, or a paced download slows to a crawl.
TEST_F(SegmentedDownloadTest, DataArrivingInSmallPiecesIsWrittenInWholeBuffers) {
    std::string body = PseudoRandomBytes(5 * 32768 + 1000);
    FixtureServer::Faults trickle;
    trickle.burstBytes = 2048;
    trickle.burstGapMs = 2;
    ServeAndPrepare(body, 1, trickle);
    std::mutex mutex;
    std::vector<std::int32_t> counts;
    BeforeEachWrite([&](std::int32_t, std::int32_t count) {
        std::lock_guard<std::mutex> lock(mutex);
        counts.push_back(count);
        return true;
    });
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();

    EXPECT_TRUE(scratch.Read(kPackageName) == body) << "the package file holds the package";
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_THAT(counts, ElementsAre(32768, 32768, 32768, 32768, 32768, 1000));
}

// Range answers never go to the system's internet cache: no second copy of
// the package outside the install folder, and no stale answer from it.
TEST_F(SegmentedDownloadTest, RangeAnswersStayOutOfTheSystemsCache) {
    std::string body = PseudoRandomBytes(100000);
    ServeAndPrepare(body, 2);
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();
    EXPECT_TRUE(scratch.Read(kPackageName) == body) << "the package file holds the package";
    EXPECT_FALSE(test::CachedBySystem(server.Url(kPackageUrlPath)));
}

}  // namespace zel

namespace zel {

// nginx, when scripts/test has started it (tests/support/nginx-fixture): a
// real server's ranged answers put together and verified.
TEST_F(SegmentedDownloadTest, SegmentsFromNginxMakeTheVerifiedPackage) {
    const char* port = std::getenv("ZEL_NGINX_PORT");
    const char* size = std::getenv("ZEL_NGINX_PACKAGE_SIZE");
    const char* digest = std::getenv("ZEL_NGINX_PACKAGE_SHA1");
    if (!port || !size || !digest) GTEST_SKIP() << "no nginx fixture (scripts/test starts it)";
    DownloadFromNginxAndVerify(std::string("http://127.0.0.1:") + port, size, digest);
}

// The same over TLS, the server's authority trusted by the engine's session.
TEST_F(SegmentedDownloadTest, SegmentsFromNginxOverTlsMakeTheVerifiedPackage) {
    const char* port = std::getenv("ZEL_NGINX_TLS_PORT");
    const char* size = std::getenv("ZEL_NGINX_PACKAGE_SIZE");
    const char* digest = std::getenv("ZEL_NGINX_PACKAGE_SHA1");
    const char* authority = std::getenv("ZEL_NGINX_TEST_CA");
    if (!port || !size || !digest || !authority)
        GTEST_SKIP() << "no nginx fixture with TLS (scripts/test starts it)";
    ASSERT_TRUE(test::TrustTestAuthority(EngineAccess::InternetApi(*engine),
                                         EngineAccess::InternetSession(*engine), authority));
    DownloadFromNginxAndVerify(std::string("https://localhost:") + port, size, digest);
}

// A server whose certificate comes from an authority nobody trusts is a
// line that does not work: the workers try again while the machine is
// online, write nothing, and leave every byte in the resume file.
TEST_F(SegmentedDownloadTest, CertificateOfAnUnknownAuthorityWritesNothingAndIsRetried) {
    const char* port = std::getenv("ZEL_NGINX_ROGUE_TLS_PORT");
    const char* authority = std::getenv("ZEL_NGINX_TEST_CA");
    if (!port || !authority) GTEST_SKIP() << "no nginx fixture with TLS (scripts/test starts it)";
    ASSERT_TRUE(test::TrustTestAuthority(EngineAccess::InternetApi(*engine),
                                         EngineAccess::InternetSession(*engine), authority));
    const std::string body = PseudoRandomBytes(300007);
    PrepareFresh(std::string("https://localhost:") + port + "/setup.bin", body, 2);
    std::atomic<int> writes{0};
    BeforeEachWrite([&](std::int32_t, std::int32_t) {
        ++writes;
        return true;
    });
    ASSERT_TRUE(engine->StartWorkers(false));
    // Still at it after several attempts: nothing ends a worker while online.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(engine->RunningWorkers(), 2);
    EXPECT_TRUE(Posted(WM_DOWNLOAD_FINISHED).empty());
    connection.SetOnline(false);
    WaitForFinished();

    auto finished = Posted(WM_DOWNLOAD_FINISHED);
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0].lParam, ResultTransportError);
    EXPECT_EQ(writes.load(), 0);
    EXPECT_EQ(engine->TotalWritten(), 0);
    ResumeState state;
    ASSERT_EQ(ReadResumeState(scratch.File(kStateFileName), 300007, &state),
              ResumeReadResult::Readable);
    std::int32_t missing = 0;
    for (const auto& segment : state.segments) missing += segment.length;
    EXPECT_EQ(missing, 300007);
}

}  // namespace zel

// --- Faults that last ------------------------------------------------------

namespace zel {

namespace {

FixtureServer::Faults Status(int status, const std::string& retryAfter = std::string()) {
    FixtureServer::Faults faults;
    faults.status = status;
    faults.retryAfter = retryAfter;
    return faults;
}

FixtureServer::Faults CutAt(long long bytes) {
    FixtureServer::Faults faults;
    faults.cutBodyAt = bytes;
    return faults;
}

}  // namespace

// Eight refused attempts, one that brings bytes and ends early, three more
// refused: the waits after the first retry's own climb to the cap, and the
// bytes start the climb again from the first wait.
TEST_F(SegmentedDownloadTest, LastingFailuresWaitLongerUpToTheCapAndBytesStartAgain) {
    Timings timings = Timings::Instant();
    timings.firstRetryWaitMs = 1;
    timings.nextRetryWaitMs = 2;
    timings.backOffCapMs = 40;
    timings.backOffRandom = test::HighestDraws();
    test::RetryWaitLog log;
    log.Attach(timings);
    MakeEngine(timings);
    std::string body = PseudoRandomBytes(100000);
    std::vector<FixtureServer::Faults> first(8, Status(404));
    first.push_back(CutAt(30000));
    first.insert(first.end(), 3, Status(404));
    server.Serve(kPackageUrlPath, body, FixtureServer::Faults(), first);
    PrepareFresh(server.Url(kPackageUrlPath), body, 1);
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();

    EXPECT_EQ(scratch.Read(kPackageName), body);
    EXPECT_THAT(log.Of(RetryLoop::Worker), ElementsAre(1, 2, 4, 8, 16, 32, 40, 40, 2, 4, 8, 16));
    const auto ranges = RangesAsked();
    ASSERT_EQ(ranges.size(), 13u);
    EXPECT_EQ(ranges[8], "bytes=0-99999");
    EXPECT_EQ(ranges[9], "bytes=30000-99999") << "after the bytes, only the rest";
    EXPECT_EQ(ranges[12], "bytes=30000-99999");
}

// The program's own draws: each wait lies between the first wait and its
// ceiling, and they differ from one another, so that clients that failed
// together do not come back together.
TEST_F(SegmentedDownloadTest, LastingFailuresWaitAJitteredTimeBelowEachCeiling) {
    Timings timings = Timings::Instant();
    timings.nextRetryWaitMs = 1;
    timings.backOffCapMs = 64;
    test::RetryWaitLog log;
    log.Attach(timings);
    MakeEngine(timings);
    std::string body = PseudoRandomBytes(1000);
    server.Serve(kPackageUrlPath, body, FixtureServer::Faults(),
                 std::vector<FixtureServer::Faults>(12, Status(503)));
    PrepareFresh(server.Url(kPackageUrlPath), body, 1);
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();

    EXPECT_EQ(scratch.Read(kPackageName), body);
    const auto waits = log.Of(RetryLoop::Worker);
    ASSERT_EQ(waits.size(), 12u);
    EXPECT_EQ(waits[1], 1u) << "the usual short wait first";
    std::set<unsigned> seen;
    for (std::size_t n = 2; n < waits.size(); ++n) {
        const unsigned ceiling = std::min(64u, 1u << (n - 1));
        EXPECT_GE(waits[n], 1u);
        EXPECT_LE(waits[n], ceiling) << "wait " << n;
        seen.insert(waits[n]);
    }
    EXPECT_GE(seen.size(), 4u) << "no jitter";
}

// "Retry-After: 3" on a 503, with a second of the server's made 100 ms: the
// next request for the range comes no sooner than 300 ms later, though the
// worker's own wait is 1 ms. A huge one is held to the cap.
TEST_F(SegmentedDownloadTest, RetryAfterOfA503KeepsTheWorkerQuietThatLong) {
    Timings timings = Timings::Instant();
    timings.nextRetryWaitMs = 1;
    timings.retryAfterSecondMs = 100;
    timings.retryAfterCapMs = 450;
    test::RetryWaitLog log;
    log.Attach(timings);
    MakeEngine(timings);
    std::string body = PseudoRandomBytes(1000);
    server.Serve(kPackageUrlPath, body, FixtureServer::Faults(),
                 {Status(503, "3"), Status(429, "99999999999")});
    PrepareFresh(server.Url(kPackageUrlPath), body, 1);
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();

    EXPECT_EQ(scratch.Read(kPackageName), body);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_GE(requests[1].at - requests[0].at, std::chrono::milliseconds(300));
    EXPECT_GE(requests[2].at - requests[1].at, std::chrono::milliseconds(400));
    const auto waits = log.Of(RetryLoop::Worker);
    ASSERT_EQ(waits.size(), 2u);
    EXPECT_GT(waits[0], 200u);
    EXPECT_LE(waits[0], 300u);
    EXPECT_GT(waits[1], 350u);
    EXPECT_LE(waits[1], 450u) << "held to the cap";
}

// A pause that lands in a long back-off ends the wait at once.
TEST_F(SegmentedDownloadTest, StopEndsALongBackOffAtOnce) {
    Timings timings = Timings::Instant();
    timings.firstRetryWaitMs = 60000;
    MakeEngine(timings);
    std::string body = PseudoRandomBytes(1000);
    server.Serve(kPackageUrlPath, body, Status(404));
    PrepareFresh(server.Url(kPackageUrlPath), body, 1);
    ASSERT_TRUE(engine->StartWorkers(false));
    ASSERT_TRUE(WaitUntil([&] { return server.RequestCount() >= 1; }));
    engine->SetUserCommand(CommandPause);
    engine->RequestStop();
    WaitForFinished();
    EXPECT_EQ(Posted(WM_DOWNLOAD_FINISHED).at(0).lParam, ResultStopped);
    EXPECT_EQ(server.RequestCount(), 1u);
}

// A 206 whose complete length is "*" is used when it is the piece asked
// for; one that names another last byte is not written.
TEST_F(SegmentedDownloadTest, PieceWithAnUnknownTotalIsUsedWhenItIsThePieceAskedFor) {
    std::string body = PseudoRandomBytes(300000);
    FixtureServer::Faults star;
    star.unknownTotal = true;
    ServeAndPrepare(body, 3, star);
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();
    EXPECT_EQ(scratch.Read(kPackageName), body);
    EXPECT_EQ(RangesAsked().size(), 3u) << "each piece taken at its first answer";

    connection.SetOnline(false);  // one attempt, then the worker ends
    FixtureServer::Faults shorter;
    shorter.contentRange = "bytes 0-499/*";
    server.Serve(kPackageUrlPath, body.substr(0, 1000), shorter);
    PrepareFresh(server.Url(kPackageUrlPath), body.substr(0, 1000), 1);
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished(2);
    EXPECT_EQ(Posted(WM_DOWNLOAD_FINISHED).back().lParam, ResultFailed);
    EXPECT_EQ(scratch.Read(kPackageName), std::string(1000, '\0'));
}

// Two alternates, the chosen one answering every range with the wrong
// piece: after its second refusal the worker goes to the other one, which
// delivers the rest.
TEST_F(SegmentedDownloadTest, WorkerTurnsToAnotherAlternateWhenItsAnswersKeepBeingRefused) {
    std::string body = PseudoRandomBytes(100000);
    FixtureServer::Faults wrong;
    wrong.contentRange = "bytes 1-100000/100001";
    server.Serve("/broken/setup.exe", body, wrong);
    server.Serve(kPackageUrlPath, body);
    PrepareFresh(server.Url("/broken/setup.exe"), body, 2);
    SetupManifest edited = engine->Manifest();
    edited.alternateUrls = {server.Url(kPackageUrlPath), server.Url("/broken/setup.exe")};
    ASSERT_TRUE(engine->SetManifest(edited));
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();

    EXPECT_EQ(scratch.Read(kPackageName), body);
    std::size_t broken = 0;
    for (const auto& request : server.Requests()) broken += request.path == "/broken/setup.exe";
    EXPECT_GE(broken, 2u);
    EXPECT_LE(broken, 4u) << "two refusals each at most";
    const auto last = server.Requests().back();
    EXPECT_EQ(last.path, kPackageUrlPath);
}

}  // namespace zel
