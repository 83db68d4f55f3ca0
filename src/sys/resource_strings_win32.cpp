#include <windows.h>

#include <vector>

#include "sys/resource_strings.h"

namespace zel {

std::string LoadResourceString(unsigned id) {
    // LoadStringA cuts a text that does not fit; a full buffer means try larger.
    for (size_t size = 256; size <= 65536; size *= 2) {
        std::vector<char> buffer(size, '\0');
        const int length = LoadStringA(GetModuleHandleA(nullptr), id, buffer.data(), int(size));
        if (length <= 0) return std::string();
        if (size_t(length) < size - 1) return std::string(buffer.data(), size_t(length));
    }
    return std::string();
}

}  // namespace zel
