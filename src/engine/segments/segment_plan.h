// The package file, the segment records of a download and what the workers
// have written into it: each segment's progress and the total. The records
// and the file are made, opened and dropped only while no worker runs (the
// engine sees to that); the workers write through Write.
//
// Each segment's open range may move while its worker runs: a worker whose
// range is done takes over the tail of another's (TakeOver). The cut and
// every write happen under writeLock_, and a write lands only below its
// segment's end of that moment, so that no byte is written twice and the
// progress that checkpoints save names every missing byte exactly once.
//
// writeLock_ lives here: it serialises every write to the package with the
// progress and the total it changes and with what onWritten does (the
// progress message, the write-back's count). It is never held together with
// the resume file writer's finishLock, nor the engine's startLock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/segments/resume_state.h"
#include "engine/segments/segment.h"
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

    explicit SegmentPlan(WrittenHook onWritten) : onWritten_(std::move(onWritten)) {
        positionOf_.fill(-1);
    }
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
    // pauseMs; nothing lands outside [0, packageSize), nor at or beyond the
    // segment's end (its tail may have been taken over since the bytes were
    // asked for). *written says how many landed; false when the write
    // failed.
    bool Write(std::uint8_t index, std::int32_t offset, const char* buffer, std::int32_t count,
               std::int32_t packageSize, unsigned pauseMs, std::int32_t* written);
    // Each segment's progress and the total, taken between two writes.
    std::vector<SegmentProgress> Progress(std::int32_t* total) const;
    std::int32_t TotalWritten() const { return totalWritten_.load(); }
    void SetTotalWritten(std::int32_t total) { totalWritten_ = total; }

    // --- Sharing a run's ranges out --------------------------------------
    // Where the open range of segment index ends now; any thread, without
    // the lock. -1 for a segment the run does not know.
    std::int32_t EndOf(std::uint8_t index) const;
    // The worker of index runs: others may take from its range from now on.
    void MarkRunning(std::uint8_t index);
    // The worker of index has ended: nobody takes from its range any more.
    // Its open range [start, start + length), as the resume file must keep it.
    SegmentRange Retire(std::uint8_t index);
    // Picks, among the open ranges of running workers (taker's excluded),
    // the one to cut (its position in open) and where; false for none.
    using CutChooser = std::function<bool(const std::vector<SegmentProgress>& open,
                                          std::size_t* which, std::int32_t* cut)>;
    // Segment taker's range is done: the range choose picks is cut, and
    // [cut, its end) becomes taker's. False when choose picked none.
    bool TakeOver(std::uint8_t taker, const CutChooser& choose, std::uint8_t* from,
                  SegmentRange* taken);

  private:
    WrittenHook onWritten_;
    // Workers hold pointers to these while they run.
    std::vector<std::unique_ptr<PlannedSegment>> segments_;
    TargetFile package_;
    mutable std::mutex writeLock_;
    // A segment counts its bytes only up to the first gap: a piece that did
    // not follow on would claim the bytes before it. Under writeLock_.
    std::vector<SegmentProgress> progress_;
    // Whose worker runs, by position in progress_; under writeLock_.
    std::vector<bool> running_;
    // Each segment's end as in progress_, by position, for the workers to
    // read without the lock; changed only under writeLock_.
    std::unique_ptr<std::atomic<std::int32_t>[]> ends_;
    // Position in progress_ of each segment number, -1 for none; set by
    // BeginRun before any worker of the run starts.
    std::array<std::int16_t, 256> positionOf_{};
    std::atomic<std::int32_t> totalWritten_{0};
};

}  // namespace zel
