#include "sys/system_message.h"

namespace zel {

// The native build has no message tables for the internet library's codes.
bool FormatSystemMessage(const char*, std::uint32_t, std::string&) {
    return false;
}

}  // namespace zel
