// The Content-Range header of a 206 answer, "bytes first-last/total".
#pragma once

#include <cstdint>
#include <string>

namespace zel {

struct ContentRange {
    std::int64_t first = 0;
    std::int64_t last = 0;
    std::int64_t total = -1;  // -1 when the server wrote "*"
};

// False for anything but one satisfied byte range with first <= last.
bool ParseContentRange(const std::string& text, ContentRange* range);

}  // namespace zel
