// Reads an INI-layout file the way the platform's profile functions do:
// section names in file order, section and key names matched without regard
// to case, values trimmed and stripped of one pair of enclosing quotes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zel {

class ProfileReader {
  public:
    explicit ProfileReader(std::string path) : path_(std::move(path)) {}

    // Reads the section names afresh, in file order, empty names dropped.
    const std::vector<std::string>& ReadSectionNames();
    const std::vector<std::string>& sectionNames() const { return sectionNames_; }

    // The value of key in section (at most kMaxValueLength characters), empty
    // when the file, the section or the key is missing.
    std::string ReadValue(const std::string& section, const std::string& key);

    // Characters the last read returned.
    std::int32_t lastCount() const { return lastCount_; }

    static constexpr std::int32_t kMaxValueLength = 254;

  private:
    std::string path_;
    std::vector<std::string> sectionNames_;
    std::int32_t lastCount_ = 0;
};

}  // namespace zel
