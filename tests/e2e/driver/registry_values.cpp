#include "registry_values.h"

#include <windows.h>

#include "sys/win32_handles.h"

namespace zel::e2e {

bool DeleteProgramKey() {
    LONG result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, kProgramKey);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool ReadProgramValue(const std::string& name, std::string& value) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProgramKey, 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return false;
    }
    ScopedRegistryKey key(opened);
    char data[512] = {};
    DWORD type = 0;
    DWORD size = sizeof data - 1;
    if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data),
                         &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    // The stored length counts the terminating zero.
    value.assign(data, size > 0 && data[size - 1] == '\0' ? size - 1 : size);
    return true;
}

}  // namespace zel::e2e
