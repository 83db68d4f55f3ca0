// Ranges shared over the mirrors while they download: a segment per mirror,
// a finished worker taking over the tail of a slower one's range, a slow
// line giving way, and what pause, a kill and a bad mirror then do. Real
// servers on 127.0.0.1 whose answers are paced to chosen speeds.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/download_engine.h"
#include "engine/segments/resume_state.h"
#include "support/child_process.h"
#include "support/engine_access.h"
#include "support/fake_connection.h"
#include "support/fixture_server.h"
#include "support/recording_engine_dialog.h"
#include "support/temp_folder.h"
#include "support/test_bytes.h"
#include "support/worker_hooks.h"

namespace zel {

using test::EngineAccess;
using test::FixtureServer;
using test::WaitUntil;
using ::testing::UnorderedElementsAreArray;

namespace {

constexpr std::int32_t kSize = 3 * 1024 * 1024;
constexpr std::int32_t kHalf = kSize / 2;
constexpr char kSlow[] = "/slow/setup.exe";
constexpr char kFast[] = "/fast/setup.exe";

FixtureServer::Faults Paced(double bytesPerSecond, long long stallAfter = -1) {
    FixtureServer::Faults faults;
    faults.bytesPerSecond = bytesPerSecond;
    faults.stallAfterBytes = stallAfter;
    return faults;
}

std::string Range(std::int32_t start, std::int32_t length) {
    return "bytes=" + std::to_string(start) + "-" + std::to_string(start + length - 1);
}

}  // namespace

class RangeSharingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Timings timings = Timings::Instant();
        timings.lineWindowMs = 200;
        timings.requestTimeoutMs = 1500;
        engine = std::make_unique<DownloadEngine>(dialog, timings, connection.Binder());
        engine->SetInstallFolder(scratch.folder());
        engine->SetNotifyWindow(&dialog);
        ASSERT_TRUE(engine->OpenInternetSession());
    }
    // Segment 0 starts on the slow mirror (the one chosen), segment 1 on the
    // fast one: the next alternate.
    void Serve(const FixtureServer::Faults& slow, const FixtureServer::Faults& fast,
               std::vector<FixtureServer::Faults> fastFirst = {}) {
        server.Serve(kSlow, body, slow);
        server.Serve(kFast, body, fast, std::move(fastFirst));
    }
    void SetManifest() {
        SetupManifest edited = engine->Manifest();
        edited.alternateUrls = {server.Url(kFast), server.Url(kSlow)};
        edited.setupUrl = server.Url(kSlow);
        edited.setupHash = DigestOf(body);
        edited.saveFileName = "setup.exe";
        edited.threadCount = 2;
        edited.totalSize = kSize;
        ASSERT_TRUE(engine->SetManifest(edited));
    }
    void StartFresh() {
        SetManifest();
        ASSERT_TRUE(engine->PrepareFreshDownload(kSize));
        ASSERT_TRUE(engine->StartWorkers(false));
    }
    // Runs before every write of segment 1, on its worker.
    void BeforeWritesOfSegmentOne(std::function<void(std::int32_t offset)> before) {
        auto write = EngineAccess::Hooks(*engine, 1).writeAt;
        EngineAccess::Hooks(*engine, 1).writeAt =
            [before, write](std::uint8_t i, std::int32_t offset, const char* buffer,
                            std::int32_t count, std::int32_t* written) {
                before(offset);
                return write(i, offset, buffer, count, written);
            };
    }
    std::size_t Finished() const {
        std::size_t count = 0;
        for (const auto& posted : dialog.Posted()) count += posted.message == WM_DOWNLOAD_FINISHED;
        return count;
    }
    void WaitForFinished(std::size_t runs = 1) {
        ASSERT_TRUE(WaitUntil([&] { return Finished() >= runs; }));
        ASSERT_TRUE(WaitUntil([&] { return engine->RunningWorkers() == 0; }));
    }
    std::vector<std::string> RangesAsked(const std::string& path = std::string()) const {
        std::vector<std::string> ranges;
        for (const auto& request : server.Requests())
            if (request.method == "GET" && (path.empty() || request.path == path))
                ranges.push_back(request.range);
        return ranges;
    }
    // Every range the resume file lists, and that all it counts is on disk.
    std::vector<std::string> SavedRangesCheckedAgainstTheDisk() {
        ResumeState state;
        EXPECT_EQ(ReadResumeState(scratch.File("zelv3chunks.txt"), kSize, &state),
                  ResumeReadResult::Readable);
        const std::string onDisk = scratch.Read("setup.exe");
        std::vector<std::string> ranges;
        std::int32_t claimed = 0;
        std::int32_t from = 0;
        for (const SegmentRange& missing : state.segments) {
            EXPECT_GE(missing.start, from) << "ranges overlap";
            EXPECT_TRUE(
                onDisk.compare(from, missing.start - from, body, from, missing.start - from) == 0);
            claimed += missing.start - from;
            from = missing.start + missing.length;
            ranges.push_back(Range(missing.start, missing.length));
        }
        EXPECT_TRUE(onDisk.compare(from, kSize - from, body, from, kSize - from) == 0);
        EXPECT_EQ(state.totalDownloaded, claimed + kSize - from);
        return ranges;
    }
    // The next pass from the resume file, with both mirrors at full speed.
    void ResumeAndCheckOnlyTheseAreFetched(const std::vector<std::string>& saved) {
        Serve(FixtureServer::Faults(), FixtureServer::Faults());
        server.ClearRequests();
        ASSERT_TRUE(engine->OpenInternetSession());
        SetManifest();
        ASSERT_EQ(engine->PrepareResume(kSize), ResumePreparation::Ready);
        const std::size_t runs = Finished();
        ASSERT_TRUE(engine->StartWorkers(true));
        engine->DeleteResumeState();
        WaitForFinished(runs + 1);
        EXPECT_THAT(RangesAsked(), UnorderedElementsAreArray(saved));
        EXPECT_TRUE(engine->VerifyDownloadedFile());
    }

    std::string body = PseudoRandomBytes(kSize);
    test::FakeConnection connection;
    TempFolder scratch;
    FixtureServer server;
    test::RecordingEngineDialog dialog;
    std::unique_ptr<DownloadEngine> engine;
};

// The slow mirror falls silent in the middle of its third piece. The fast
// segment, done, takes over everything from the silent line's first
// missing byte; the bytes of the piece that then arrive late are not
// written, so the package, the total and the progress come out exact.
TEST_F(RangeSharingTest, StalledLinesRangeIsTakenOverFromItsFirstMissingByte) {
    Serve(Paced(0, 2 * 32768 + 5000), Paced(2.5e6));
    StartFresh();
    WaitForFinished();

    EXPECT_THAT(RangesAsked(kSlow), UnorderedElementsAreArray({Range(0, kHalf)}));
    EXPECT_THAT(RangesAsked(kFast),
                UnorderedElementsAreArray({Range(kHalf, kHalf), Range(65536, kHalf - 65536)}));
    EXPECT_TRUE(scratch.Read("setup.exe") == body);
    EXPECT_EQ(engine->TotalWritten(), kSize);
    std::uintptr_t last = 0;
    for (const auto& posted : dialog.Posted()) {
        if (posted.message != WM_DOWNLOAD_PROGRESS) continue;
        EXPECT_GT(posted.wParam, last);
        last = posted.wParam;
    }
    EXPECT_EQ(last, static_cast<std::uintptr_t>(kSize));
    EXPECT_FALSE(scratch.Exists("zelv3chunks.txt"));
}

// 100 KB/s against 2.5 MB/s: once both are timed, the slow line ends its
// request and fetches the rest of its range from the fast mirror.
TEST_F(RangeSharingTest, SlowLineGivesWayToTheFasterMirror) {
    Serve(Paced(1e5), Paced(2.5e6));
    StartFresh();
    WaitForFinished();

    EXPECT_EQ(RangesAsked(kSlow).size(), 1u);
    const auto fast = RangesAsked(kFast);
    ASSERT_GE(fast.size(), 2u);
    EXPECT_EQ(fast[0], Range(kHalf, kHalf));
    EXPECT_GT(std::stoi(fast[1].substr(6)), 0);
    EXPECT_TRUE(engine->VerifyDownloadedFile());
}

// A pause just after the fast segment took over half of the slow one's
// range: the resume file lists both open ranges, counts only bytes on
// disk, and the next pass fetches those ranges and nothing else.
TEST_F(RangeSharingTest, PauseDuringASplitResumesWithOnlyTheMissingRanges) {
    Serve(Paced(1e6), Paced(2.5e6));
    SetManifest();
    ASSERT_TRUE(engine->PrepareFreshDownload(kSize));
    BeforeWritesOfSegmentOne([&](std::int32_t offset) {
        if (offset < kHalf) engine->RequestStop();
    });
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();

    EXPECT_EQ(RangesAsked(kFast).at(0), Range(kHalf, kHalf)) << "a segment on each mirror";
    const auto saved = SavedRangesCheckedAgainstTheDisk();
    ASSERT_EQ(saved.size(), 2u);
    ResumeAndCheckOnlyTheseAreFetched(saved);
}

// The same split in a process that is killed, as a crash or a power cut
// would end it, with both answers fallen silent: its last checkpoint counts
// only bytes on disk, and the next start fetches only what it lists.
TEST_F(RangeSharingTest, KillDuringASplitResumesWithOnlyTheMissingRanges) {
    const long long slowStall = 27 * 32768;
    const long long takenStall = 4 * 32768;
    Serve(Paced(1e6, slowStall), Paced(2.5e6, takenStall), {Paced(2.5e6)});
    test::ChildProcess child(test::HelperProgramPath("zel_download_child"),
                             {scratch.folder(), server.Url(kSlow) + "," + server.Url(kFast),
                              DigestOf(body), std::to_string(kSize), "0", "20"});
    ASSERT_TRUE(child.Started());
    const std::int32_t settled = static_cast<std::int32_t>(kHalf + slowStall + takenStall);
    ASSERT_TRUE(WaitUntil([&] {
        ResumeState seen;
        return ReadResumeState(scratch.File("zelv3chunks.txt"), kSize, &seen) ==
                   ResumeReadResult::Readable &&
               seen.totalDownloaded == settled;
    }));
    child.Kill();

    const auto saved = SavedRangesCheckedAgainstTheDisk();
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[0].substr(0, saved[0].find('-')), "bytes=" + std::to_string(slowStall));
    ResumeAndCheckOnlyTheseAreFetched(saved);
}

// The fast mirror answers 404 from the request for the taken-over range
// on: the taking worker turns to the other mirror and the package is whole.
TEST_F(RangeSharingTest, MirrorDyingAfterATakeOverLeavesTheRestToAnother) {
    FixtureServer::Faults gone;
    gone.status = 404;
    Serve(Paced(1e6), gone, {Paced(2.5e6)});
    StartFresh();
    WaitForFinished();

    EXPECT_GE(RangesAsked(kFast).size(), 2u);
    EXPECT_TRUE(engine->VerifyDownloadedFile());
}

// The fast mirror serves other bytes from the taken-over range on: they
// are written where they were asked for, and the digest refuses the file.
TEST_F(RangeSharingTest, WrongBytesForATakenOverRangeFailTheDigest) {
    Serve(Paced(1e6), Paced(2.5e6));
    SetManifest();
    ASSERT_TRUE(engine->PrepareFreshDownload(kSize));
    std::atomic<bool> swapped{false};
    BeforeWritesOfSegmentOne([&](std::int32_t offset) {
        if (offset + 32768 >= kSize && !swapped.exchange(true))
            server.Serve(kFast, PseudoRandomBytes(kSize + 1).substr(1), Paced(2.5e6));
    });
    ASSERT_TRUE(engine->StartWorkers(false));
    WaitForFinished();

    ASSERT_EQ(RangesAsked(kFast).size(), 2u) << "one range taken over";
    EXPECT_FALSE(engine->VerifyDownloadedFile());
}

}  // namespace zel
