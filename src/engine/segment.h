// One segment of the package and the state of the worker that fetches it.
#pragma once

#include <cstdint>
#include <string>

namespace zel {

class DownloadEngine;

// The outcome of one attempt and of a whole worker.
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
    DownloadEngine* engine = nullptr;
    std::int32_t received = 0;  // bytes of the current attempt on disk
};

}  // namespace zel
