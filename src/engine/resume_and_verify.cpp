// The engine's side of the resume file (the state a run's end leaves,
// reading back, deleting) and the check of the finished package.
#include <chrono>
#include <thread>

#include "engine/download_engine.h"
#include "engine/file_digest.h"
#include "engine/resume_state.h"
#include "sys/install_folder.h"
#include "sys/text.h"

namespace zel {

void DownloadEngine::AppendSegmentState(std::uint8_t index, std::int32_t start,
                                        std::int32_t length) {
    runEndState_ += FormatSegmentState(index, start, length);
}

void DownloadEngine::AppendGlobalState() {
    std::int32_t total = totalWritten_.load();
    if (timings_.stateAppendPauseMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(timings_.stateAppendPauseMs));
    runEndState_ += FormatGlobalState(total, manifest_.setupHash);
}

void DownloadEngine::SaveRunEndState() {
    const std::string path = StateFilePath();
    if (runEndState_.empty()) {
        // Every byte is on disk: a checkpoint left behind would only resume
        // a finished package.
        if (GetPathKind(path) == kPathFile) TargetFile::Delete(path);
        if (GetPathKind(StateTempPath(path)) == kPathFile) TargetFile::Delete(StateTempPath(path));
        return;
    }
    // The bytes the file counts reach the disk before the file does; when
    // they cannot, the last checkpoint, which counts fewer, stays.
    if (FlushPackage()) SaveStateFile(path, runEndState_);
}

bool DownloadEngine::LoadResumeState() {
    if (!WorkersGone()) return false;
    segments_.clear();
    totalWritten_ = 0;
    ResumeState state;
    switch (ReadResumeState(StateFilePath(), manifest_.totalSize, &state)) {
        case ResumeReadResult::NoSections:
            return false;
        case ResumeReadResult::Unusable:
            // Resuming from it would write outside the package or count
            // bytes that are not there; a fresh download is the only sound
            // way on.
            DeleteResumeState();
            return false;
        case ResumeReadResult::Readable:
            break;
    }
    if (state.hasGlobal) {
        totalWritten_ = state.totalDownloaded;
        {
            std::lock_guard<std::mutex> lock(manifestLock_);
            manifest_.savedSetupHash = state.setupHash;
        }
        PostToNotifyWindow(WM_DOWNLOAD_PROGRESS, static_cast<std::uintptr_t>(totalWritten_.load()),
                           0);
    }
    std::uint8_t count = 0;
    for (const SegmentRange& range : state.segments) {
        AddSegment(count, range.start, range.length);
        ++count;
    }
    std::lock_guard<std::mutex> lock(manifestLock_);
    manifest_.threadCount = count;
    return count > 0;
}

ResumePreparation DownloadEngine::PrepareResume(std::int32_t size) {
    {
        std::lock_guard<std::mutex> lock(manifestLock_);
        manifest_.totalSize = size;
    }
    if (!LoadResumeState() || !SameTextNoCase(manifest_.savedSetupHash, manifest_.setupHash)) {
        // Resume data of another package, or none that can be used: left in
        // place it would stop every later pass here.
        DeleteResumeState();
        ClearSegments();
        return ResumePreparation::Discarded;
    }
    if (!OpenTargetFile(PackagePath())) {
        ClearSegments();
        return ResumePreparation::NoPackageFile;
    }
    return ResumePreparation::Ready;
}

void DownloadEngine::DeleteResumeState() {
    std::lock_guard<std::mutex> lock(finishLock_);
    if (resumeFileTaken_) {
        resumeFileTaken_ = false;
        return;
    }
    std::string path = StateFilePath();
    if (GetPathKind(path) == kPathFile) TargetFile::Delete(path);
}

bool DownloadEngine::VerifyDownloadedFile() {
    std::string path;
    std::string expected;
    {
        // Also called on the dialog's thread, while a pass may be reading a
        // new manifest.
        std::lock_guard<std::mutex> lock(manifestLock_);
        path = installFolder_ + manifest_.saveFileName;
        expected = manifest_.setupHash;
    }
    if (GetPathKind(path) != kPathFile) {
        ownerDialog_.ShowMessageBox("Setup file not found", kMbOk | kMbIconError);
        return false;
    }
    if (expected.empty()) {
        ownerDialog_.ShowMessageBox("Please retry to download setup file", kMbOk | kMbIconError);
        return false;
    }
    return SameTextNoCase(ComputeFileDigest(path), expected);
}

}  // namespace zel
