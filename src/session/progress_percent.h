// The percentage the progress bar and the status line show.
#pragma once

#include <cstdint>

namespace zel {

// bytesWritten * 100 / totalSize, truncated and capped at 100, without
// overflow for every 32-bit size; -1 when there is no size to measure against.
int ProgressPercent(std::int64_t bytesWritten, std::int32_t totalSize);

}  // namespace zel
