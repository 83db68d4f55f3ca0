#include "session/progress_percent.h"

namespace zel {

int ProgressPercent(std::int64_t bytesWritten, std::int32_t totalSize) {
    if (totalSize <= 0) return -1;
    const std::int64_t percent = bytesWritten * 100 / totalSize;
    if (percent > 100) return 100;
    if (percent < 0) return 0;
    return static_cast<int>(percent);
}

}  // namespace zel
