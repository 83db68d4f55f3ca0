#include <windows.h>

#include "res/resource.h"
#include "ui/panel/page_resources.h"

namespace zel {

namespace {

bool LoadResourceBytes(const char* name, const char* type, std::string& bytes) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, name, type);
    if (!found) return false;
    // Resource memory belongs to the mapped module: nothing to free.
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return false;
    bytes.assign(static_cast<const char*>(data), SizeofResource(module, found));
    return true;
}

}  // namespace

bool LoadInstallationPage(std::string& text) {
    return LoadResourceBytes(MAKEINTRESOURCEA(IDR_INSTALLATION_PAGE), MAKEINTRESOURCEA(23), text);
}

bool LoadPageFile(const std::string& name, std::string& bytes) {
    // A name that starts with '#' would be read as a number.
    if (name.empty() || name[0] == '#') return false;
    return LoadResourceBytes(name.c_str(), MAKEINTRESOURCEA(23), bytes) ||
           LoadResourceBytes(name.c_str(), MAKEINTRESOURCEA(RT_PAGE_FILE), bytes);
}

}  // namespace zel
