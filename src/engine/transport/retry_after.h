// A server's Retry-After header (on a 503 or a 429 answer): a number of
// seconds, or the HTTP date after which to ask again.
#pragma once

#include <cstdint>
#include <string>

namespace zel {

// Seconds to wait, from the header text and the current time in seconds
// since 1970 (UTC). A date in the past gives 0. False for text that is
// neither form; nothing is then to be waited for beyond the caller's own
// pace.
bool ParseRetryAfter(const std::string& text, std::int64_t nowUnixSeconds, std::int64_t* seconds);

// The three date forms HTTP allows ("Sun, 06 Nov 1994 08:49:37 GMT", the
// obsolete "Sunday, 06-Nov-94 08:49:37 GMT" and "Sun Nov  6 08:49:37 1994"),
// as seconds since 1970; false for anything else.
bool ParseHttpDate(const std::string& text, std::int64_t* unixSeconds);

}  // namespace zel
