#include <windows.h>

#include "sys/clock.h"

namespace zel {

std::uint32_t TickCount() {
    return GetTickCount();
}

}  // namespace zel
