#include "engine/segments/segment_plan.h"

#include <algorithm>
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
    positionOf_.fill(-1);
    for (const PlannedSegment* segment : segments) {
        const CThread& record = segment->record;
        positionOf_[record.index] = static_cast<std::int16_t>(progress_.size());
        progress_.push_back({record.index, record.startPos, record.startPos + record.chunkLength});
    }
    running_.assign(progress_.size(), false);
    ends_.reset(new std::atomic<std::int32_t>[progress_.size()]);
    for (std::size_t i = 0; i < progress_.size(); ++i) ends_[i] = progress_[i].end;
}

std::int32_t SegmentPlan::EndOf(std::uint8_t index) const {
    const std::int16_t at = positionOf_[index];
    return at < 0 ? -1 : ends_[static_cast<std::size_t>(at)].load();
}

void SegmentPlan::MarkRunning(std::uint8_t index) {
    std::lock_guard<std::mutex> lock(writeLock_);
    const std::int16_t at = positionOf_[index];
    if (at >= 0) running_[static_cast<std::size_t>(at)] = true;
}

SegmentRange SegmentPlan::Retire(std::uint8_t index) {
    std::lock_guard<std::mutex> lock(writeLock_);
    const std::int16_t at = positionOf_[index];
    if (at < 0) return SegmentRange{};
    running_[static_cast<std::size_t>(at)] = false;
    const SegmentProgress& segment = progress_[static_cast<std::size_t>(at)];
    return SegmentRange{segment.next, segment.end - segment.next};
}

bool SegmentPlan::TakeOver(std::uint8_t taker, const CutChooser& choose, std::uint8_t* from,
                           SegmentRange* taken) {
    std::lock_guard<std::mutex> lock(writeLock_);
    const std::int16_t takerAt = positionOf_[taker];
    if (takerAt < 0) return false;
    std::vector<SegmentProgress> open;
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < progress_.size(); ++i) {
        if (!running_[i] || i == static_cast<std::size_t>(takerAt)) continue;
        if (progress_[i].next >= progress_[i].end) continue;
        open.push_back(progress_[i]);
        positions.push_back(i);
    }
    std::size_t which = 0;
    std::int32_t cut = 0;
    if (open.empty() || !choose(open, &which, &cut) || which >= open.size()) return false;
    SegmentProgress& victim = progress_[positions[which]];
    // The bytes before the victim's next are on disk: a cut there or beyond
    // hands out only missing ones.
    if (cut < victim.next || cut >= victim.end) return false;
    const std::int32_t end = victim.end;
    victim.end = cut;
    ends_[positions[which]] = cut;
    SegmentProgress& mine = progress_[static_cast<std::size_t>(takerAt)];
    mine.next = cut;
    mine.end = end;
    ends_[static_cast<std::size_t>(takerAt)] = end;
    *from = static_cast<std::uint8_t>(victim.index);
    *taken = SegmentRange{cut, end - cut};
    return true;
}

bool SegmentPlan::Write(std::uint8_t index, std::int32_t offset, const char* buffer,
                        std::int32_t count, std::int32_t packageSize, unsigned pauseMs,
                        std::int32_t* written) {
    *written = 0;
    std::lock_guard<std::mutex> lock(writeLock_);
    const std::int16_t at = positionOf_[index];
    if (at >= 0 && count > 0) {
        // What lies beyond the segment's end belongs to whoever took it over.
        const std::int32_t end = progress_[static_cast<std::size_t>(at)].end;
        if (offset >= end) return true;
        count = static_cast<std::int32_t>(
            std::min<std::int64_t>(count, static_cast<std::int64_t>(end) - offset));
    }
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
    *written = count;
    return true;
}

std::vector<SegmentProgress> SegmentPlan::Progress(std::int32_t* total) const {
    std::lock_guard<std::mutex> lock(writeLock_);
    *total = totalWritten_.load();
    return progress_;
}

}  // namespace zel
