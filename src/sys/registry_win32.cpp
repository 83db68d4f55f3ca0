#include "sys/registry.h"

namespace zel {

bool CRegistry::OpenOrCreate() {
    keyPath_ = kProgramKeyPath;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath_.c_str(), 0, access_, &key) == ERROR_SUCCESS) {
        keyHandle_.Reset(key);
        return true;
    }
    if (access_ == KEY_READ) return false;
    key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        access_, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    keyHandle_.Reset(key);
    return true;
}

bool CRegistry::WriteString(const char* name, const std::string& text) {
    if (!keyHandle_) return false;
    return RegSetValueExA(keyHandle_.Get(), name, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          DWORD(text.size() + 1)) == ERROR_SUCCESS;
}

}  // namespace zel
