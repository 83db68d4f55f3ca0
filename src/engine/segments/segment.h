// One segment of the package and the state of the worker that fetches it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zel {

// The outcome of one attempt and of a whole worker, and the last result that
// the finished message carries.
enum SegmentResult : std::uint8_t {
    ResultFailed = 0,          // request-level failure, early end of the answer, failed write
    ResultComplete = 1,        // every byte of the segment is on disk
    ResultStopped = 2,         // stop requested, or no URL to fetch
    ResultTransportError = 3,  // sending the request or reading the answer failed
};

struct CThread {
    std::uint8_t index = 0;        // the segment's number, its resume-file label
    std::int32_t startPos = 0;     // offset of the first byte still to fetch
    std::int32_t chunkLength = 0;  // bytes still to fetch
    std::string url;               // the package URL when the record was made
    std::int32_t received = 0;     // bytes of the current attempt on disk

    // The range still missing is [startPos + received, startPos + chunkLength).
    std::int32_t NextStart() const { return startPos + received; }
    std::int32_t Remaining() const { return chunkLength - received; }
};

// What a segment's worker calls at its start, for each piece it writes and
// at its end. The engine binds its own operations when it makes the record;
// tests may wrap them before the worker starts.
struct WorkerHooks {
    std::function<void(std::uint8_t index)> onStarted;
    std::function<void(std::uint8_t index, SegmentResult result, std::int32_t nextStart,
                       std::int32_t remaining)>
        onFinished;
    std::function<bool(std::uint8_t index, std::int32_t offset, const char* buffer,
                       std::int32_t count, std::int32_t* written)>
        writeAt;
};

}  // namespace zel
