// The engine's side of the resume file (appending, reading back, deleting)
// and the check of the finished package.
#include <chrono>
#include <thread>

#include "engine/download_engine.h"
#include "engine/file_digest.h"
#include "engine/resume_state.h"
#include "sys/install_folder.h"
#include "sys/text.h"

namespace zel {

bool DownloadEngine::AppendSegmentState(std::uint8_t index, std::int32_t start,
                                        std::int32_t length) {
    return AppendSegmentStateTo(StateFilePath(), index, start, length);
}

bool DownloadEngine::AppendGlobalState() {
    std::int32_t total = totalWritten.load();
    if (timings.stateAppendPauseMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(timings.stateAppendPauseMs));
    return AppendGlobalStateTo(StateFilePath(), total, manifest.setupHash);
}

bool DownloadEngine::LoadResumeState() {
    totalWritten = 0;
    ResumeState state;
    switch (ReadResumeState(StateFilePath(), manifest.totalSize, &state)) {
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
        totalWritten = state.totalDownloaded;
        manifest.savedSetupHash = state.setupHash;
        PostToNotifyWindow(WM_DOWNLOAD_PROGRESS, static_cast<std::uintptr_t>(totalWritten.load()),
                           0);
    }
    std::uint8_t count = 0;
    for (const SegmentRange& range : state.segments) {
        AddSegment(count, range.start, range.length);
        ++count;
    }
    manifest.threadCount = count;
    return count > 0;
}

void DownloadEngine::DeleteResumeState() {
    std::lock_guard<std::mutex> lock(finishLock);
    if (resumeFileTaken) {
        resumeFileTaken = false;
        return;
    }
    std::string path = StateFilePath();
    if (GetPathKind(path) == kPathFile) TargetFile::Delete(path);
}

bool DownloadEngine::VerifyDownloadedFile() {
    std::string path = installFolder + manifest.saveFileName;
    if (GetPathKind(path) != kPathFile) {
        ownerDialog.ShowMessageBox("Setup file not found", kMbOk | kMbIconError);
        return false;
    }
    if (manifest.setupHash.empty()) {
        ownerDialog.ShowMessageBox("Please retry to download setup file", kMbOk | kMbIconError);
        return false;
    }
    return SameTextNoCase(ComputeFileDigest(path), manifest.setupHash);
}

}  // namespace zel
