// The package file, the segment records of a download and what the workers
// have written into it: each segment's progress and the total. The records
// and the file are made, opened and dropped only while no worker runs (the
// engine sees to that); the workers write through Write.
//
// writeLock_ lives here: it serialises every write to the package with the
// progress and the total it changes and with what onWritten does (the
// progress message, the write-back's count). It is never held together with
// the resume file writer's finishLock, nor the engine's startLock.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/resume_state.h"
#include "engine/segment.h"
#include "sys/target_file.h"

namespace zel {

// A segment's record and the hooks its worker calls.
struct PlannedSegment {
    CThread record;
    WorkerHooks hooks;
};

class SegmentPlan {
  public:
    // Called under the write lock after every write with the piece's size
    // and the new total, so that what it reports follows the writes' order.
    using WrittenHook = std::function<void(std::int32_t count, std::int32_t total)>;

    explicit SegmentPlan(WrittenHook onWritten) : onWritten_(std::move(onWritten)) {}
    SegmentPlan(const SegmentPlan&) = delete;
    SegmentPlan& operator=(const SegmentPlan&) = delete;

    // --- The records; only while no worker runs --------------------------
    void Add(const CThread& record, WorkerHooks hooks);
    void Clear() { segments_.clear(); }
    std::size_t Count() const { return segments_.size(); }
    PlannedSegment& At(std::size_t index) { return *segments_.at(index); }
    // Every segment, in order; each stays where it is until Clear.
    std::vector<PlannedSegment*> All();

    // --- The package file ----------------------------------------------------
    // Creates the file at path at size bytes, left open for the workers; a
    // file that cannot be given its size is closed again.
    bool CreatePackage(const std::string& path, std::int32_t size);
    bool OpenPackage(const std::string& path);
    void ClosePackage() { package_.Close(); }
    bool IsPackageOpen() const { return package_.IsOpen(); }
    // True once every byte written is on the disk itself; a closed package
    // took no write in this run.
    bool FlushPackage();
    // Sends [from, from + length) on its way to the disk without waiting.
    void StartWriteBack(std::int32_t from, std::int32_t length);

    // --- A run's writes ---------------------------------------------------------
    // Each segment's progress starts where its record starts.
    void BeginRun(const std::vector<PlannedSegment*>& segments);
    // Writes count bytes of segment index at offset, after a pause of
    // pauseMs; nothing lands outside [0, packageSize). False when nothing
    // was written.
    bool Write(std::uint8_t index, std::int32_t offset, const char* buffer, std::int32_t count,
               std::int32_t packageSize, unsigned pauseMs);
    // Each segment's progress and the total, taken between two writes.
    std::vector<SegmentProgress> Progress(std::int32_t* total) const;
    std::int32_t TotalWritten() const { return totalWritten_.load(); }
    void SetTotalWritten(std::int32_t total) { totalWritten_ = total; }

  private:
    WrittenHook onWritten_;
    // Workers hold pointers to these while they run.
    std::vector<std::unique_ptr<PlannedSegment>> segments_;
    TargetFile package_;
    mutable std::mutex writeLock_;
    // A segment counts its bytes only up to the first gap: a piece that did
    // not follow on would claim the bytes before it. Under writeLock_.
    std::vector<SegmentProgress> progress_;
    std::atomic<std::int32_t> totalWritten_{0};
};

}  // namespace zel
