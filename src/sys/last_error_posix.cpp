#include "sys/last_error.h"

namespace zel {

namespace {
// Per thread, like the system's own last-error slot.
thread_local std::uint32_t lastError = 0;
}  // namespace

std::uint32_t LastSystemError() {
    return lastError;
}
void SetLastSystemError(std::uint32_t code) {
    lastError = code;
}

}  // namespace zel
