// Downloads one file with the real download engine, as a fresh download
// does it: the package file made at full size, the split into segments, one
// worker per segment, checkpoints of the resume file at the program's own
// interval, and the wait for the finished message; but with every pause of
// the real pacing zeroed, so that what is timed is the engine.
//   download_bench [--checkpoint-ms=MS] [--ca-file=PEM] URL SEGMENTS DESTINATION [SHA1]
// MS replaces the interval between checkpoints; 0 turns them off. PEM is a
// certificate authority that an https URL's server is checked against in
// place of the system's (a private nginx's own authority).
// Prints one line of figures for the download (before any check):
//   seconds=S create_seconds=C cpu_seconds=U max_rss_kib=M bytes=B
// then checks the file's size against the server's and, given a digest,
// the file's SHA-1 (not timed). Exit code 0 only when every check passed.
#include <sys/resource.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "bench_util.h"
#include "engine/digest/file_digest.h"
#include "engine/download_engine.h"
#include "engine/timings.h"
#include "sys/text.h"

namespace {

using zel::bench::Clock;
using zel::bench::FileSize;
using zel::bench::SecondsBetween;

// The dialog's side reduced to what a run needs: the finished message, and
// the progress total kept as the real dialog keeps it for its progress bar.
class FinishWaiter : public zel::EngineDialog {
  public:
    void SetStatusText(const std::string&) override {}
    void EnablePauseButton(bool) override {}
    int WaitForConnection(const std::string&) override { return zel::kIdNo; }
    int ShowMessageBox(const std::string& text, unsigned) override {
        std::fprintf(stderr, "message box: %s\n", text.c_str());
        return zel::kIdOk;
    }
    void PostDialogMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        if (message == zel::WM_DOWNLOAD_PROGRESS) {
            progress_.store(static_cast<std::int32_t>(wParam), std::memory_order_relaxed);
            return;
        }
        if (message != zel::WM_DOWNLOAD_FINISHED) return;
        std::lock_guard<std::mutex> lock(mutex_);
        failedWorkers_ = static_cast<int>(wParam);
        lastResult_ = static_cast<int>(lParam);
        finished_ = true;
        changed_.notify_all();
    }

    void WaitForFinish(int& failedWorkers, int& lastResult) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return finished_; });
        failedWorkers = failedWorkers_;
        lastResult = lastResult_;
    }
    std::int32_t Progress() const { return progress_.load(); }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool finished_ = false;
    int failedWorkers_ = 0;
    int lastResult_ = 0;
    std::atomic<std::int32_t> progress_{0};
};

// The real pacing with every pause gone, the write pause included; the
// request time-outs, the checkpoint interval and the write-back stretch
// stay as the program has them unless the interval is given.
zel::Timings NoPauses(unsigned checkpointIntervalMs) {
    zel::Timings pacing = zel::Timings::Instant();
    pacing.requestTimeoutMs = zel::Timings().requestTimeoutMs;
    pacing.checkpointIntervalMs = checkpointIntervalMs;
    pacing.writeBackStretchBytes = zel::Timings().writeBackStretchBytes;
    return pacing;
}

constexpr char kCheckpointOption[] = "--checkpoint-ms=";
constexpr char kCaFileOption[] = "--ca-file=";

double CpuSeconds(const rusage& usage) {
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

// The split of a fresh download: every segment S / N bytes, the last one
// also taking the remainder.
void AddSplit(zel::DownloadEngine& engine, std::int32_t size, int count) {
    const std::int32_t piece = size / count;
    for (int i = 0; i < count; ++i) {
        const std::int32_t length = i == count - 1 ? size - (count - 1) * piece : piece;
        engine.AddSegment(static_cast<std::uint8_t>(i), i * piece, length);
    }
}

}  // namespace

int main(int argc, char** argv) {
    unsigned checkpointIntervalMs = zel::Timings().checkpointIntervalMs;
    if (argc > 1 && std::strncmp(argv[1], kCheckpointOption, sizeof kCheckpointOption - 1) == 0) {
        checkpointIntervalMs =
            static_cast<unsigned>(std::atoi(argv[1] + sizeof kCheckpointOption - 1));
        --argc;
        ++argv;
    }
    std::string caFile;
    if (argc > 1 && std::strncmp(argv[1], kCaFileOption, sizeof kCaFileOption - 1) == 0) {
        caFile = argv[1] + sizeof kCaFileOption - 1;
        --argc;
        ++argv;
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s [%sMS] [%sPEM] URL SEGMENTS DESTINATION [SHA1]\n", argv[0],
                     kCheckpointOption, kCaFileOption);
        return 2;
    }
    const std::string url = argv[1];
    const int count = std::atoi(argv[2]);
    const std::string destination = argv[3];
    const std::string expectedDigest = argc > 4 ? argv[4] : "";
    if (count < 1 || count > 255) {
        std::fprintf(stderr, "segments: 1 to 255\n");
        return 2;
    }

    FinishWaiter dialog;
    zel::DownloadEngine engine(dialog, NoPauses(checkpointIntervalMs));
    engine.SetNotifyWindow(&dialog);
    if (!engine.OpenInternetSession()) {
        std::fprintf(stderr, "no internet session\n");
        return 1;
    }
    if (!caFile.empty()) {
        if (!engine.SetSessionOption(zel::inet::kOptionNativeTrustedCaFile, &caFile[0],
                                     static_cast<zel::Dword>(caFile.size()))) {
            std::fprintf(stderr, "the session does not take %s\n", caFile.c_str());
            return 1;
        }
    }
    const std::int32_t size = engine.QueryRemoteSize(url);
    if (size < 0) {
        std::fprintf(stderr, "no size for %s\n", url.c_str());
        return 1;
    }
    zel::SetupManifest manifest = engine.Manifest();
    manifest.setupUrl = url;
    manifest.totalSize = size;
    manifest.threadCount = static_cast<std::uint8_t>(count);
    engine.SetManifest(manifest);

    const Clock::time_point start = Clock::now();
    if (!engine.CreateTargetFile(destination, size)) {
        std::fprintf(stderr, "cannot create %s\n", destination.c_str());
        return 1;
    }
    const Clock::time_point created = Clock::now();
    AddSplit(engine, size, count);
    if (!engine.StartWorkers(false)) std::fprintf(stderr, "not every worker started\n");
    int failedWorkers = 0;
    int lastResult = 0;
    dialog.WaitForFinish(failedWorkers, lastResult);
    const Clock::time_point end = Clock::now();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);

    const double seconds = SecondsBetween(start, end);
    const double createSeconds = SecondsBetween(start, created);
    std::printf("seconds=%.4f create_seconds=%.4f cpu_seconds=%.4f max_rss_kib=%ld bytes=%d\n",
                seconds, createSeconds, CpuSeconds(usage), usage.ru_maxrss, static_cast<int>(size));
    std::fflush(stdout);
    engine.ClearSegments();

    bool ok = true;
    if (failedWorkers != 0 || lastResult != zel::ResultComplete) {
        std::fprintf(stderr, "run ended with %d failed workers, last result %d\n", failedWorkers,
                     lastResult);
        ok = false;
    }
    if (dialog.Progress() != size) {
        std::fprintf(stderr, "progress reached %d of %d bytes\n", dialog.Progress(), size);
        ok = false;
    }
    if (FileSize(destination) != size) {
        std::fprintf(stderr, "file holds %lld bytes, server has %d\n", FileSize(destination), size);
        ok = false;
    }
    if (!expectedDigest.empty()) {
        const std::string digest = zel::ComputeFileDigest(destination);
        if (!zel::SameTextNoCase(digest, expectedDigest)) {
            std::fprintf(stderr, "SHA-1 %s, expected %s\n", digest.c_str(), expectedDigest.c_str());
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
