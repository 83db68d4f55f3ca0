#include <windows.h>

#include "sys/last_error.h"

namespace zel {

std::uint32_t LastSystemError() {
    return GetLastError();
}
void SetLastSystemError(std::uint32_t code) {
    SetLastError(code);
}

}  // namespace zel
