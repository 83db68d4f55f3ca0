#include <windows.h>

#include <vector>

#include "sys/profile_reader.h"

namespace zel {

namespace {

// The names come back as one block of NUL-terminated names; a block that did
// not fit is cut and reported as size - 2, so the buffer grows until the
// whole list fits and no section of a long resume file goes unseen.
constexpr DWORD kFirstNamesBufferSize = 2000;
constexpr DWORD kMaxNamesBufferSize = 1u << 20;

}  // namespace

const std::vector<std::string>& ProfileReader::ReadSectionNames() {
    sectionNames_.clear();
    std::vector<char> buffer;
    DWORD size = kFirstNamesBufferSize;
    DWORD count = 0;
    for (;;) {
        buffer.assign(size, '\0');
        count = GetPrivateProfileSectionNamesA(buffer.data(), size, path_.c_str());
        if (count + 2 < size || size >= kMaxNamesBufferSize) break;
        size *= 2;
    }
    lastCount_ = static_cast<std::int32_t>(count);
    std::string name;
    for (DWORD i = 0; i < count; ++i) {
        if (buffer[i] != '\0') {
            name += buffer[i];
            continue;
        }
        if (!name.empty()) sectionNames_.push_back(name);
        name.clear();
    }
    if (!name.empty()) sectionNames_.push_back(name);
    return sectionNames_;
}

std::string ProfileReader::ReadValue(const std::string& section, const std::string& key) {
    char buffer[kMaxValueLength + 1] = {};
    DWORD count = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer, sizeof(buffer),
                                           path_.c_str());
    lastCount_ = static_cast<std::int32_t>(count);
    return std::string(buffer, count);
}

}  // namespace zel
