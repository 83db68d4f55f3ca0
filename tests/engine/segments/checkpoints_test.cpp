// Checkpoints of the resume file while workers run, against real HTTP
// servers on 127.0.0.1 and real files: what a checkpoint counts, how it meets
// the file a stop writes and the end of a completed run, a checkpoint cut
// short at every byte, and a download killed in a process of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/digest/file_digest.h"
#include "engine/download_engine.h"
#include "engine/segments/resume_state.h"
#include "support/child_process.h"
#include "support/engine_access.h"
#include "support/fake_connection.h"
#include "support/fixture_server.h"
#include "support/recording_engine_dialog.h"
#include "support/session_bench.h"
#include "support/temp_folder.h"
#include "support/test_bytes.h"
#include "support/worker_hooks.h"
#include "sys/install_folder.h"
#include "sys/manual_reset_event.h"

namespace zel {

using test::EngineAccess;

namespace {

using test::FinishLog;
using test::FixtureServer;
using test::WaitUntil;
using test::WriteGate;

constexpr char kPackageName[] = "setup.exe";
constexpr char kPackageUrlPath[] = "/setup.exe";
constexpr const char* kStateFileName = DownloadEngine::kStateFileName;

// Looks, the moment a run reports its end, whether a resume file is there.
class EndWatchingDialog : public test::RecordingEngineDialog {
  public:
    std::string stateFile;
    std::atomic<int> endsWithStateFile{0};
    void PostDialogMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        if (message == WM_DOWNLOAD_FINISHED && GetPathKind(stateFile) != kPathNothing)
            ++endsWithStateFile;
        RecordingEngineDialog::PostDialogMessage(message, wParam, lParam);
    }
};

std::string RangeHeader(std::int32_t start, std::int32_t length) {
    return "bytes=" + std::to_string(start) + "-" + std::to_string(start + length - 1);
}

}  // namespace

class CheckpointsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dialog.stateFile = scratch.File(kStateFileName);
        MakeEngine(Timings::Instant());
    }
    void TearDown() override {
        release.Set();
        engine.reset();
    }

    void MakeEngine(const Timings& timings) {
        engine = std::make_unique<DownloadEngine>(dialog, timings, connection.Binder());
        engine->SetInstallFolder(scratch.folder());
        engine->SetNotifyWindow(&dialog);
        ASSERT_TRUE(engine->OpenInternetSession());
    }

    // A fresh download of body in count segments, as the controller
    // prepares it.
    void ServeAndPrepare(const std::string& body, unsigned count) {
        server.Serve(kPackageUrlPath, body);
        scratch.Write("digest.tmp", body);
        SetupManifest edited = engine->Manifest();
        edited.setupUrl = server.Url(kPackageUrlPath);
        edited.setupHash = ComputeFileDigest(scratch.File("digest.tmp"));
        edited.saveFileName = kPackageName;
        edited.threadCount = static_cast<std::uint8_t>(count);
        ASSERT_TRUE(engine->SetManifest(edited));
        ASSERT_TRUE(engine->PrepareFreshDownload(static_cast<std::int32_t>(body.size())));
    }
    std::string Hash() const { return engine->Manifest().setupHash; }

    std::vector<test::RecordingEngineDialog::PostedMessage> Finished() const {
        std::vector<test::RecordingEngineDialog::PostedMessage> found;
        for (const auto& posted : dialog.Posted())
            if (posted.message == WM_DOWNLOAD_FINISHED) found.push_back(posted);
        return found;
    }
    // Waits for the run's finished message and for its workers to leave.
    void WaitForFinished(size_t runs) {
        ASSERT_TRUE(WaitUntil([&] { return Finished().size() >= runs; }));
        ASSERT_TRUE(WaitUntil([&] { return engine->RunningWorkers() == 0; }));
    }
    std::vector<std::string> RangesAsked(std::size_t from = 0) const {
        std::vector<std::string> ranges;
        const auto requests = server.Requests();
        for (std::size_t i = from; i < requests.size(); ++i)
            if (requests[i].method == "GET") ranges.push_back(requests[i].range);
        return ranges;
    }
    std::string StateFile() const { return scratch.Read(kStateFileName); }

    // The state of each segment the moment its worker starts.
    std::vector<SegmentRange> Ranges() {
        std::vector<SegmentRange> ranges;
        for (std::size_t i = 0; i < EngineAccess::SegmentCount(*engine); ++i)
            ranges.push_back({EngineAccess::Segment(*engine, i).startPos,
                              EngineAccess::Segment(*engine, i).chunkLength});
        return ranges;
    }

    TempFolder scratch;
    FixtureServer server;
    test::FakeConnection connection;
    EndWatchingDialog dialog;
    // Outlive the engine: held workers use them.
    ManualResetEvent pieceRead;
    ManualResetEvent release;
    std::unique_ptr<DownloadEngine> engine;
};

// While both workers stand still after a write, the checkpoint comes to name
// exactly what they wrote. The run then completes: the checkpoint is gone
// before the run reports its end, so the package is checked and launched,
// never resumed.
TEST_F(CheckpointsTest, CheckpointCountsTheWritesAndACompletedRunRemovesItBeforeItsReport) {
    const std::string body = PseudoRandomBytes(400000);
    ServeAndPrepare(body, 2);
    WriteGate gate(*engine);
    for (std::size_t i = 0; i < EngineAccess::SegmentCount(*engine); ++i)
        gate.Hold(EngineAccess::Hooks(*engine, i));
    ASSERT_TRUE(engine->StartWorkers(false));
    ASSERT_TRUE(WaitUntil([&] { return gate.Writers() == 2; }));

    const std::int32_t done0 = gate.WrittenBy(0);
    const std::int32_t done1 = gate.WrittenBy(1);
    const std::string checkpoint = FormatSegmentState(0, done0, 200000 - done0) +
                                   FormatSegmentState(1, 200000 + done1, 200000 - done1) +
                                   FormatGlobalState(done0 + done1, Hash());
    ASSERT_TRUE(WaitUntil([&] { return StateFile() == checkpoint; })) << StateFile();

    gate.Release();
    WaitForFinished(1);
    EXPECT_EQ(Finished().at(0).lParam, ResultComplete);
    EXPECT_EQ(dialog.endsWithStateFile.load(), 0);
    EXPECT_FALSE(scratch.Exists(kStateFileName));
    EXPECT_FALSE(scratch.Exists(StateTempPath(kStateFileName)));
    EXPECT_TRUE(engine->VerifyDownloadedFile());
}

// With an interval longer than the test, only a worker's end can bring a
// checkpoint. The other worker has read its first piece but not written it:
// the checkpoint does not count that piece, which a crash would cost.
TEST_F(CheckpointsTest, WorkerEndBringsACheckpointThatLeavesOutThePieceInFlight) {
    Timings timings = Timings::Instant();
    timings.checkpointIntervalMs = 3600000;
    MakeEngine(timings);
    const std::string body = PseudoRandomBytes(400000);
    ServeAndPrepare(body, 2);
    auto write = EngineAccess::Hooks(*engine, 1).writeAt;
    EngineAccess::Hooks(*engine, 1).writeAt = [this, write](std::uint8_t index, std::int32_t offset,
                                                            const char* buffer, std::int32_t count,
                                                            std::int32_t* written) {
        pieceRead.Set();
        release.WaitFor(std::chrono::seconds(30));
        return write(index, offset, buffer, count, written);
    };
    ASSERT_TRUE(engine->StartWorkers(false));
    ASSERT_TRUE(pieceRead.WaitFor(std::chrono::seconds(30)));

    const std::string checkpoint =
        FormatSegmentState(1, 200000, 200000) + FormatGlobalState(200000, Hash());
    ASSERT_TRUE(WaitUntil([&] { return StateFile() == checkpoint; })) << StateFile();
    release.Set();
    WaitForFinished(1);
    EXPECT_FALSE(scratch.Exists(kStateFileName));
    EXPECT_EQ(scratch.Read(kPackageName), body);
}

// Pause, resume, pause... with checkpoints written all the while (every few
// milliseconds, and at each worker's end): each stop leaves exactly the file
// a stop has always left, sections in the order the workers ended; and from
// a resumed start on there is always a file to resume from.
TEST_F(CheckpointsTest, EveryStopReplacesTheCheckpointWithTheFileOfAStop) {
    const std::string body = PseudoRandomBytes(400000);
    ServeAndPrepare(body, 2);
    std::size_t runs = 0;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const bool resume = round > 0;
        WriteGate gate(*engine);
        FinishLog finishes;
        for (std::size_t i = 0; i < EngineAccess::SegmentCount(*engine); ++i) {
            gate.Hold(EngineAccess::Hooks(*engine, i));
            finishes.Watch(EngineAccess::Hooks(*engine, i));
        }
        const std::vector<SegmentRange> ranges = Ranges();
        const std::int32_t restored = resume ? engine->TotalWritten() : 0;
        ASSERT_TRUE(engine->StartWorkers(resume));
        if (resume) {
            engine->DeleteResumeState();  // as the controller does after a resumed start
            EXPECT_EQ(GetPathKind(scratch.File(kStateFileName)), kPathFile);
        }
        ASSERT_TRUE(WaitUntil([&] { return gate.Writers() == 2; }));
        auto section = [&](std::uint8_t index) {
            const std::int32_t done = gate.WrittenBy(index);
            return FormatSegmentState(index, ranges[index].start + done,
                                      ranges[index].length - done);
        };
        const std::string global =
            FormatGlobalState(restored + gate.WrittenBy(0) + gate.WrittenBy(1), Hash());
        ASSERT_TRUE(WaitUntil([&] { return StateFile() == section(0) + section(1) + global; }));

        engine->RequestStop();
        WaitForFinished(++runs);
        std::string stopped;
        for (std::uint8_t index : finishes.Order()) stopped += section(index);
        EXPECT_EQ(StateFile(), stopped + global);

        ASSERT_TRUE(engine->OpenInternetSession());
        ASSERT_EQ(engine->PrepareResume(400000), ResumePreparation::Ready);
    }
    ASSERT_TRUE(engine->StartWorkers(true));
    engine->DeleteResumeState();
    WaitForFinished(++runs);
    EXPECT_EQ(Finished().back().lParam, ResultComplete);
    EXPECT_FALSE(scratch.Exists(kStateFileName));
    EXPECT_EQ(scratch.Read(kPackageName), body);
}

// A checkpoint cut short at every byte, as a crash in the middle of writing
// it would leave the file were it written in place. The next start, made as
// the controller makes it, resumes exactly the ranges the checkpoint names
// when its last line, the digest, is whole, and starts afresh otherwise;
// either way it ends in the package, never in a wrong file.
TEST_F(CheckpointsTest, CheckpointCutShortAnywhereResumesCorrectlyOrStartsAfresh) {
    constexpr std::int32_t kSize = 80000;
    const std::string body = PseudoRandomBytes(kSize);
    ServeAndPrepare(body, 2);
    std::string checkpoint;
    std::string partial;
    {
        WriteGate gate(*engine);
        for (std::size_t i = 0; i < EngineAccess::SegmentCount(*engine); ++i)
            gate.Hold(EngineAccess::Hooks(*engine, i));
        ASSERT_TRUE(engine->StartWorkers(false));
        ASSERT_TRUE(WaitUntil([&] { return gate.Writers() == 2; }));
        ASSERT_TRUE(WaitUntil([&] {
            ResumeState state;
            return ReadResumeState(scratch.File(kStateFileName), kSize, &state) ==
                       ResumeReadResult::Readable &&
                   state.totalDownloaded == gate.WrittenBy(0) + gate.WrittenBy(1);
        }));
        checkpoint = StateFile();
        partial = scratch.Read(kPackageName);
        engine->RequestStop();
        WaitForFinished(1);
    }
    std::set<std::string> resumedRanges;
    {
        ResumeState state;
        ASSERT_TRUE(scratch.Write(kStateFileName, checkpoint));
        ASSERT_EQ(ReadResumeState(scratch.File(kStateFileName), kSize, &state),
                  ResumeReadResult::Readable);
        for (const SegmentRange& range : state.segments)
            resumedRanges.insert(RangeHeader(range.start, range.length));
    }
    const std::size_t digestEnd = checkpoint.size() - 4;  // before the last two line ends
    ASSERT_EQ(checkpoint.compare(digestEnd - Hash().size(), Hash().size(), Hash()), 0);

    // Every cut is read back as the next start reads it; each plan that
    // comes out (resume these ranges, or start afresh in so many segments)
    // is then downloaded once: the same plan downloads the same way.
    const SetupManifest manifest = engine->Manifest();
    Timings quiet = Timings::Instant();
    quiet.checkpointIntervalMs = 0;
    std::set<std::string> plansDownloaded;
    std::size_t runs = 1;
    for (std::size_t cut = 0; cut <= checkpoint.size(); ++cut) {
        SCOPED_TRACE(cut);
        // A new start after a crash: a new process, a new engine.
        MakeEngine(quiet);
        ASSERT_TRUE(engine->SetManifest(manifest));
        ASSERT_TRUE(scratch.Write(kPackageName, partial));
        ASSERT_TRUE(scratch.Write(kStateFileName, checkpoint.substr(0, cut)));
        const bool resumed = engine->PrepareResume(kSize) == ResumePreparation::Ready;
        EXPECT_EQ(resumed, cut >= digestEnd);
        if (!resumed) {
            ASSERT_TRUE(engine->PrepareFreshDownload(kSize));
        }
        std::set<std::string> planned;
        std::int32_t end = 0;
        for (const SegmentRange& range : Ranges()) {
            planned.insert(RangeHeader(range.start, range.length));
            EXPECT_TRUE(resumed || range.start == end) << "a fresh split leaves no gap";
            end = range.start + range.length;
        }
        if (resumed) {
            EXPECT_EQ(planned, resumedRanges);
        } else {
            EXPECT_EQ(end, kSize);
        }
        std::string plan = resumed ? "resume" : "fresh";
        for (const std::string& range : planned) plan += " " + range;
        if (!plansDownloaded.insert(plan).second) continue;

        const std::size_t from = server.Requests().size();
        ASSERT_TRUE(engine->StartWorkers(resumed));
        if (resumed) engine->DeleteResumeState();
        WaitForFinished(++runs);
        const std::vector<std::string> asked = RangesAsked(from);
        EXPECT_EQ(std::set<std::string>(asked.begin(), asked.end()), planned);
        ASSERT_TRUE(scratch.Read(kPackageName) == body) << "the package file holds the package";
    }
    // The resume, a fresh start in two segments, and one in a single segment
    // (cut after the first thread section: the count read back is one).
    EXPECT_EQ(plansDownloaded.size(), 3u);
}

namespace {

// How many bytes from start on the file holds as the package has them.
std::int32_t MatchingBytes(const std::string& file, const std::string& package, std::int32_t start,
                           std::int32_t length) {
    std::int32_t count = 0;
    while (count < length && file[start + count] == package[start + count]) ++count;
    return count;
}

// True when the file holds the package's bytes at offset: a piece has been
// written there.
bool HoldsPackageBytesAt(const std::string& path, const std::string& package, std::int32_t offset) {
    constexpr std::size_t kLook = 256;
    std::ifstream file(path, std::ios::binary);
    std::string bytes(kLook, '\0');
    if (!file.seekg(offset) || !file.read(&bytes[0], kLook)) return false;
    return package.compare(static_cast<std::size_t>(offset), kLook, bytes) == 0;
}

// The bytes of a two-segment download in the file, each segment counted
// from its start up to the first byte that is not yet the package's.
std::int32_t PackageBytesOnDisk(const std::string& path, const std::string& package) {
    const std::string file = ReadWholeFile(path);
    if (file.size() != package.size()) return 0;
    const std::int32_t half = static_cast<std::int32_t>(package.size() / 2);
    return MatchingBytes(file, package, 0, half) + MatchingBytes(file, package, half, half);
}

}  // namespace

// The download runs in a process of its own, killed at about 40 % as a crash
// or a power cut ends it: no stop, no file of a stop. The next start, through
// the session controller, resumes from the last checkpoint: the server sees
// requests for exactly the ranges it names (the bytes written after it, the
// pieces in flight among them, are fetched again), and the package verifies.
TEST(CheckpointCrashTest, KilledDownloadResumesFromItsLastCheckpoint) {
    constexpr std::int32_t kSize = 3 * 1024 * 1024;
    constexpr std::int32_t kHalf = kSize / 2;
    test::SessionBench bench;
    // Each range answer falls silent at 54 % of its segment: however slow
    // the machine, the download cannot end before the kill. The silence
    // comes after whole 32 KiB pieces, so every byte before it is written.
    test::ServeFaults stall;
    stall.stallAfterBytes = 26 * 32768;
    bench.ServePackage(kSize, stall);
    bench.MakeController();
    test::ChildProcess child(
        test::HelperProgramPath("zel_download_child"),
        {bench.InstallFolder(), bench.server.Url(test::SessionBench::kPackagePath), bench.Digest(),
         std::to_string(kSize), "10", "50"});
    ASSERT_TRUE(child.Started());
    // Killed once a checkpoint counts 40 % and more bytes are on disk than it
    // counts: the bytes a crash costs. (Or once the answers have fallen
    // silent and the checkpoint counts everything: nothing more comes.)
    const std::int32_t beforeSilence = 2 * static_cast<std::int32_t>(stall.stallAfterBytes);
    ASSERT_TRUE(WaitUntil([&] {
        if (child.HasEnded()) return true;
        ResumeState seen;
        if (ReadResumeState(bench.StateFile(), kSize, &seen) != ResumeReadResult::Readable ||
            seen.totalDownloaded < kSize / 10 * 4)
            return false;
        if (seen.totalDownloaded == beforeSilence) return true;
        for (const SegmentRange& left : seen.segments)
            if (HoldsPackageBytesAt(bench.PackageFile(), bench.Package(), left.start)) return true;
        return false;
    }));
    ASSERT_FALSE(child.HasEnded()) << "the child ended before it was killed";
    child.Kill();
    const std::int32_t writtenAtKill = PackageBytesOnDisk(bench.PackageFile(), bench.Package());

    ResumeState state;
    ASSERT_EQ(ReadResumeState(bench.StateFile(), kSize, &state), ResumeReadResult::Readable);
    ASSERT_TRUE(state.hasGlobal);
    ASSERT_EQ(state.segments.size(), 2u);
    const std::string onDisk = ReadWholeFile(bench.PackageFile());
    ASSERT_EQ(onDisk.size(), static_cast<std::size_t>(kSize));
    std::int32_t claimed = 0;
    std::set<std::string> missing;
    for (int i = 0; i < 2; ++i) {
        const std::int32_t start = i * kHalf;
        const SegmentRange& left = state.segments[i];
        EXPECT_EQ(left.start + left.length, start + kHalf);
        // Every byte the checkpoint counts is on disk, and is the package's.
        EXPECT_EQ(MatchingBytes(onDisk, bench.Package(), start, left.start - start),
                  left.start - start);
        claimed += left.start - start;
        missing.insert(RangeHeader(left.start, left.length));
    }
    EXPECT_EQ(state.totalDownloaded, claimed);
    EXPECT_GE(claimed, kSize / 10 * 4);
    EXPECT_GE(writtenAtKill, claimed);

    bench.server.Serve(test::SessionBench::kPackagePath, bench.Package());
    const std::size_t from = bench.server.Requests().size();
    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded(std::chrono::seconds(60)));
    std::set<std::string> asked;
    for (const auto& get : bench.PackageGets(from)) asked.insert(get.range);
    EXPECT_EQ(asked, missing);
    EXPECT_EQ(bench.BytesAskedFor(from), kSize - claimed);
    EXPECT_TRUE(bench.PackageDeliveredAndLaunchedOnce());
    std::printf("killed with %d bytes on disk; the last checkpoint counted %d; %d fetched again\n",
                writtenAtKill, claimed, kSize - claimed);
}

}  // namespace zel
