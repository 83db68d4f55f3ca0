// The system's own words for an error code, for records that only a
// developer reads.
#pragma once

#include <cstdint>
#include <string>

namespace zel {

// The system's message for the code, or "FormatMessage Native Error" when it
// has none.
std::string SystemErrorText(std::uint32_t code);

}  // namespace zel
