// The system's text for an error code, taken from a loaded module's message
// table or the system's own.
#pragma once

#include <cstdint>
#include <string>

namespace zel {

// False when neither the module (by name; null: none) nor the system has a
// text for the code.
bool FormatSystemMessage(const char* moduleName, std::uint32_t code, std::string& text);

}  // namespace zel
