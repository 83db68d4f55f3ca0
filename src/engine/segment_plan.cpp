#include "engine/segment_plan.h"

#include <chrono>
#include <thread>

namespace zel {

void SegmentPlan::Add(const CThread& record, WorkerHooks hooks) {
    segments_.push_back(std::make_unique<PlannedSegment>(PlannedSegment{record, std::move(hooks)}));
}

std::vector<PlannedSegment*> SegmentPlan::All() {
    std::vector<PlannedSegment*> all;
    for (const auto& segment : segments_) all.push_back(segment.get());
    return all;
}

bool SegmentPlan::CreatePackage(const std::string& path, std::int32_t size) {
    if (!package_.Open(path, TargetFile::OpenMode::CreateAlways)) return false;
    // A half-filled file must not stay open: the next create or open of the
    // same path would meet this handle.
    if (package_.Preallocate(size)) return true;
    package_.Close();
    return false;
}

bool SegmentPlan::OpenPackage(const std::string& path) {
    return package_.Open(path, TargetFile::OpenMode::OpenExisting);
}

bool SegmentPlan::FlushPackage() {
    // Earlier runs flushed theirs before their state counted them.
    return !package_.IsOpen() || package_.Flush();
}

void SegmentPlan::StartWriteBack(std::int32_t from, std::int32_t length) {
    package_.StartWriteBack(from, length);
}

void SegmentPlan::BeginRun(const std::vector<PlannedSegment*>& segments) {
    std::lock_guard<std::mutex> lock(writeLock_);
    progress_.clear();
    for (const PlannedSegment* segment : segments) {
        const CThread& record = segment->record;
        progress_.push_back({record.index, record.startPos, record.startPos + record.chunkLength});
    }
}

bool SegmentPlan::Write(std::uint8_t index, std::int32_t offset, const char* buffer,
                        std::int32_t count, std::int32_t packageSize, unsigned pauseMs) {
    std::lock_guard<std::mutex> lock(writeLock_);
    if (pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    // Whatever a server or a resume file claims, nothing lands outside the
    // package.
    if (offset < 0 || count < 0 ||
        static_cast<std::int64_t>(offset) + count > static_cast<std::int64_t>(packageSize))
        return false;
    if (!package_.WriteAt(offset, buffer, count)) return false;
    for (SegmentProgress& segment : progress_) {
        if (segment.index == index && segment.next == offset) segment.next = offset + count;
    }
    const std::int32_t total = totalWritten_ += count;
    if (onWritten_) onWritten_(count, total);
    return true;
}

std::vector<SegmentProgress> SegmentPlan::Progress(std::int32_t* total) const {
    std::lock_guard<std::mutex> lock(writeLock_);
    *total = totalWritten_.load();
    return progress_;
}

}  // namespace zel
