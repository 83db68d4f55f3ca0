// libFuzzer target: any text as a 503 answer's Retry-After header. What is
// accepted is a wait of no negative length; a date read back as one of the
// standard's forms gives the same moment.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

#include "engine/transport/retry_after.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::int64_t seconds = -1;
    if (zel::ParseRetryAfter(text, 1700000000, &seconds) && seconds < 0) std::abort();
    std::int64_t when = 0;
    if (!zel::ParseHttpDate(text, &when)) return 0;
    const std::time_t moment = static_cast<std::time_t>(when);
    std::tm parts{};
    if (!gmtime_r(&moment, &parts)) return 0;
    char written[64];
    std::strftime(written, sizeof written, "%a, %d %b %Y %H:%M:%S GMT", &parts);
    std::int64_t again = 0;
    if (parts.tm_year + 1900 >= 1000 && parts.tm_year + 1900 <= 9999 &&
        (!zel::ParseHttpDate(written, &again) || again != when))
        std::abort();
    return 0;
}
