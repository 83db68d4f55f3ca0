// A fresh download by the real engine in a process of its own, for the test
// that kills it in the middle as a crash or a power cut would:
//   zel_download_child FOLDER URL DIGEST SIZE WRITE_PAUSE_MS CHECKPOINT_MS
// It downloads the package at URL (SIZE bytes, SHA-1 DIGEST) in two segments
// into FOLDER, as the session does for a fresh download, with checkpoints of
// its resume file every CHECKPOINT_MS. URL may list alternates, separated by
// commas: the first is the one chosen, and the segments share their ranges
// over all of them. It prints nothing; it ends by itself
// (exit code 0) only when the download ended before anyone killed it.
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>

#include "engine/download_engine.h"
#include "engine/timings.h"

namespace {

// The dialog's side, reduced to the finished message.
class FinishWaiter : public zel::EngineDialog {
  public:
    void SetStatusText(const std::string&) override {}
    void EnablePauseButton(bool) override {}
    int WaitForConnection(const std::string&) override { return zel::kIdNo; }
    int ShowMessageBox(const std::string&, unsigned) override { return zel::kIdOk; }
    void PostDialogMessage(unsigned message, std::uintptr_t, std::intptr_t) override {
        if (message != zel::WM_DOWNLOAD_FINISHED) return;
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
        changed_.notify_all();
    }
    void Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return finished_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool finished_ = false;
};

unsigned Milliseconds(const char* text) {
    return static_cast<unsigned>(std::strtoul(text, nullptr, 10));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7) return 2;
    zel::Timings timings = zel::Timings::Instant();
    // The test's server falls silent on purpose at some point; no time-out
    // may end that answer before the kill.
    timings.requestTimeoutMs = 120000;
    timings.writePauseMs = Milliseconds(argv[5]);
    timings.checkpointIntervalMs = Milliseconds(argv[6]);
    timings.lineWindowMs = 200;

    FinishWaiter dialog;
    zel::DownloadEngine engine(dialog, timings);
    engine.SetInstallFolder(argv[1]);
    engine.SetNotifyWindow(&dialog);
    if (!engine.OpenInternetSession()) return 3;
    zel::SetupManifest manifest = engine.Manifest();
    manifest.alternateUrls.clear();
    for (std::string urls = argv[2]; !urls.empty();) {
        const std::size_t comma = urls.find(',');
        manifest.alternateUrls.push_back(urls.substr(0, comma));
        urls = comma == std::string::npos ? std::string() : urls.substr(comma + 1);
    }
    manifest.setupUrl = manifest.alternateUrls.front();
    manifest.setupHash = argv[3];
    manifest.saveFileName = "setup.exe";
    manifest.threadCount = 2;
    engine.SetManifest(manifest);
    if (!engine.PrepareFreshDownload(static_cast<std::int32_t>(std::atol(argv[4])))) return 4;
    if (!engine.StartWorkers(false)) return 5;
    dialog.Wait();
    return 0;
}
