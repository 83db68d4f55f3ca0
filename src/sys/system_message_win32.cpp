#include <windows.h>

#include "sys/system_message.h"
#include "sys/win32_handles.h"

namespace zel {

bool FormatSystemMessage(const char* moduleName, std::uint32_t code, std::string& text) {
    HMODULE module = moduleName ? GetModuleHandleA(moduleName) : nullptr;
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                  FORMAT_MESSAGE_FROM_SYSTEM | (module ? FORMAT_MESSAGE_FROM_HMODULE : 0);
    char* message = nullptr;
    DWORD length = FormatMessageA(flags, module, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                  reinterpret_cast<char*>(&message), 0, nullptr);
    ScopedLocalMemory owner(message);
    if (length == 0 || !message) return false;
    text.assign(message, length);
    return true;
}

}  // namespace zel
