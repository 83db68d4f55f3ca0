// Reading the resume file back, deleting it, and the check of the finished
// package.
#include "engine/digest/file_digest.h"
#include "engine/download_engine.h"
#include "engine/engine_texts.h"
#include "engine/segments/resume_state.h"
#include "sys/install_folder.h"
#include "sys/text.h"

namespace zel {

bool DownloadEngine::LoadResumeState() {
    if (!WorkersGone()) return false;
    plan_.Clear();
    plan_.SetTotalWritten(0);
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
        plan_.SetTotalWritten(state.totalDownloaded);
        {
            std::lock_guard<std::mutex> lock(manifestLock_);
            manifest_.savedSetupHash = state.setupHash;
        }
        PostToNotifyWindow(WM_DOWNLOAD_PROGRESS, static_cast<std::uintptr_t>(plan_.TotalWritten()),
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
    writer_.DeleteStateFile(StateFilePath());
}

bool DownloadEngine::VerifyDownloadedFile() {
    HeldFile package;
    return VerifyDownloadedFile(package);
}

bool DownloadEngine::VerifyDownloadedFile(HeldFile& package) {
    package.Close();
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
        ownerDialog_.ShowMessageBox(texts::kSetupFileNotFound, kMbOk | kMbIconError);
        return false;
    }
    if (expected.empty()) {
        ownerDialog_.ShowMessageBox(texts::kRetryDownload, kMbOk | kMbIconError);
        return false;
    }
    if (!package.Open(path)) return false;
    return SameTextNoCase(ComputeFileDigest(package), expected);
}

}  // namespace zel
