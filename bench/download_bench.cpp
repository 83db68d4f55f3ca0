// One download of one URL into one file, the way the program fetches its
// package: preallocation, the split, one worker per segment, pwrite at the
// offsets. No pacing, so the figure is the engine's own speed.
// scripts/bench-download runs it under /usr/bin/time beside curl and aria2c.
//
//   download_bench URL OUTPUT SEGMENTS
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "engine/download_engine.h"
#include "engine/resume_state.h"

namespace {

// Takes the engine's messages as the dialog would, doing as little as it can.
class BenchDialog : public zel::EngineDialog {
  public:
    void SetStatusText(const std::string&) override {}
    void EnablePauseButton(bool) override {}
    int WaitForConnection(const std::string&) override { return zel::kIdNo; }
    int ShowMessageBox(const std::string& text, unsigned) override {
        std::fprintf(stderr, "message box: %s\n", text.c_str());
        return zel::kIdOk;
    }
    void PostDialogMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        if (message != zel::WM_DOWNLOAD_FINISHED) return;
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
        failed_ = wParam;
        result_ = lParam;
        changed_.notify_all();
    }
    std::intptr_t WaitForFinished() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return finished_; });
        return failed_ == 0 ? result_ : zel::ResultFailed;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool finished_ = false;
    std::uintptr_t failed_ = 0;
    std::intptr_t result_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s URL OUTPUT SEGMENTS\n", argv[0]);
        return 2;
    }
    std::string url = argv[1];
    std::string output = argv[2];
    unsigned segments = static_cast<unsigned>(std::atoi(argv[3]));

    zel::Timings pacing = zel::Timings::Instant();
    pacing.writePauseMs = 0;
    pacing.requestTimeoutMs = 10000;
    BenchDialog dialog;
    zel::DownloadEngine engine(dialog, pacing);
    engine.notifyWindow = &dialog;
    if (!engine.OpenInternetSession()) return 1;

    auto started = std::chrono::steady_clock::now();
    std::int32_t size = engine.QueryRemoteSize(url);
    if (size < 0) {
        std::fprintf(stderr, "no size for %s\n", url.c_str());
        return 1;
    }
    engine.manifest.setupUrl = url;
    engine.manifest.totalSize = size;
    if (!engine.CreateTargetFile(output, size)) return 1;
    std::uint8_t index = 0;
    for (const zel::SegmentRange& range : zel::SplitIntoSegments(size, segments))
        engine.AddSegment(index++, range.start, range.length);
    engine.StartWorkers(false);
    std::intptr_t result = dialog.WaitForFinished();
    while (engine.runningWorkers.load() != 0) std::this_thread::yield();
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%d bytes in %.3f s: %.1f MB/s, result %d\n", static_cast<int>(size), seconds,
                size / seconds / 1e6, static_cast<int>(result));
    return result == zel::ResultComplete ? 0 : 1;
}
