// The calling thread's last system error code (GetLastError on Windows; the
// native internet adapters keep theirs per thread the same way).
#pragma once

#include <cstdint>

namespace zel {

std::uint32_t LastSystemError();
void SetLastSystemError(std::uint32_t code);

}  // namespace zel
