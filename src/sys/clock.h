// The system's millisecond tick count, which wraps after about 49 days.
#pragma once

#include <cstdint>

namespace zel {

std::uint32_t TickCount();

}  // namespace zel
