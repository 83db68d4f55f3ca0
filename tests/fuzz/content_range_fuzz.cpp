// libFuzzer target: any text as a 206 answer's Content-Range header. What is
// accepted must describe one range inside its package, and read back the
// same once written out again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/transport/content_range.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    zel::ContentRange range;
    if (!zel::ParseContentRange(text, &range)) return 0;
    const std::int64_t largest = std::int64_t{1} << 53;
    if (range.first < 0 || range.first > range.last || range.last > largest) std::abort();
    if (range.total != -1 && (range.total <= range.last || range.total > largest)) std::abort();

    const std::string written = "bytes " + std::to_string(range.first) + "-" +
                                std::to_string(range.last) + "/" +
                                (range.total < 0 ? std::string("*") : std::to_string(range.total));
    zel::ContentRange again;
    if (!zel::ParseContentRange(written, &again) || again.first != range.first ||
        again.last != range.last || again.total != range.total)
        std::abort();
    return 0;
}
