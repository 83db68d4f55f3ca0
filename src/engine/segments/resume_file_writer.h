// The resume file of a download run. While the run's workers run, a
// checkpoint of their progress replaces it at a fixed interval and whenever
// a worker ends, on a thread of its own; between checkpoints the stretches
// the workers finish are sent on their way to the disk. The run's end
// replaces it with the ranges its workers left (a stop), or removes it
// (every byte fetched).
//
// finishLock_ lives here: it serialises the end of the workers (their
// counts, the end state, and what the engine closes at the run's end) and
// every checkpoint and write-back against it. It is never held together
// with the plan's writeLock, nor the engine's startLock.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/segments/checkpoint_schedule.h"
#include "engine/segments/segment.h"
#include "engine/segments/segment_plan.h"
#include "engine/timings.h"
#include "sys/worker_threads.h"

namespace zel {

class ResumeFileWriter {
  public:
    // What the end of one worker means for the run.
    struct WorkerEnd {
        bool postFinished = false;  // the run has ended, and nobody took it over
        std::uint8_t workersFailed = 0;
        SegmentResult reported = ResultComplete;
    };

    ResumeFileWriter(SegmentPlan& plan, const Timings& timings) : plan_(plan), timings_(timings) {}
    ~ResumeFileWriter();
    ResumeFileWriter(const ResumeFileWriter&) = delete;
    ResumeFileWriter& operator=(const ResumeFileWriter&) = delete;

    // A run of these segments begins; its file is statePath, its digest
    // setupHash. The checkpoint thread starts, unless checkpoints are off or
    // the thread cannot be made (the run's end then writes the file alone).
    void BeginRun(const std::vector<PlannedSegment*>& segments, const std::string& statePath,
                  const std::string& setupHash);
    // A later pass takes over a run that is still going: its end will post
    // nothing. True when it was still going.
    bool TakeOver();
    // Joins the checkpoint thread, which the run's end has ended.
    void Join() { checkpointThread_.JoinAll(); }
    // Counts a write towards the next write-back; under the plan's write
    // lock.
    void NoteWrite(std::int32_t count);
    // A worker, or a range that got none, has ended. At the run's last one
    // the end state is written and closeRun runs, both under finishLock_.
    WorkerEnd OnWorkerFinished(std::uint8_t index, SegmentResult result, std::int32_t nextStart,
                               std::int32_t remaining, const std::function<void()>& closeRun);
    // A resumed run has started: the file it was resumed from is its own, and
    // the next DeleteStateFile leaves it.
    void TakeResumeFile();
    // Deletes the file at path, unless a resumed run has just taken it.
    void DeleteStateFile(const std::string& path);

  private:
    // The run's end state, under finishLock_: the sections of the workers
    // that left bytes, in the order they ended, and the global section after
    // the last one's.
    void AppendSegmentState(std::uint8_t index, std::int32_t start, std::int32_t length);
    void AppendGlobalState();
    // Replaces the checkpoint with the run's end state, or removes it when
    // the run left nothing to fetch.
    void SaveRunEndState();
    void CheckpointLoop();
    void WriteCheckpoint();
    // Starts the write-back of what each segment wrote since the last one.
    void StartWriteBack();
    bool RunEnded() const { return workersFinished_ >= workersExpected_; }  // under finishLock_

    SegmentPlan& plan_;
    const Timings& timings_;

    std::mutex finishLock_;
    std::uint8_t workersExpected_ = 0;  // under finishLock_
    std::uint8_t workersFinished_ = 0;  // under finishLock_
    std::uint8_t workersFailed_ = 0;    // under finishLock_; this run's
    // Set when a pass took the run over: its end posts no finished message.
    bool runTakenOver_ = false;  // under finishLock_
    // How the latest worker that left bytes ended; under finishLock_.
    SegmentResult leftBytesResult_ = ResultComplete;
    // Set when a resumed run has started. From its start on, the resume file
    // is this run's: the one it was resumed from until the first checkpoint
    // replaces it, then its checkpoints, then what its end writes. The delete
    // that follows a resumed start would leave a crash nothing to resume
    // from, or lose the sections of a run that has already ended; that one
    // delete is skipped, every later one deletes.
    bool resumeFileTaken_ = false;  // under finishLock_
    // The run's file and digest; set before its workers start.
    std::string statePath_;
    std::string setupHash_;
    std::string runEndState_;  // under finishLock_

    CheckpointSchedule checkpointSchedule_;
    std::string lastCheckpoint_;  // the checkpoint thread's own
    // Where each segment's bytes not yet sent to the disk begin, in the
    // order of the plan's progress; the checkpoint thread's own.
    std::vector<std::int32_t> writeBackFrom_;
    // The writers ask for a write-back every timings_.writeBackStretchBytes,
    // while the checkpoint thread runs (writeBackWanted_); both under the
    // plan's write lock, atomic for the run's start that sets them.
    std::atomic<unsigned> bytesSinceWriteBack_{0};
    std::atomic<bool> writeBackWanted_{false};
    // The checkpoint thread is no worker: the worker launcher that tests
    // replace never sees it. Declared last, joined first.
    WorkerThreads checkpointThread_;
};

}  // namespace zel
