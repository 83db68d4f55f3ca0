// Our own reader, giving the results the platform's profile functions give
// for the files the engine writes: lines end at CR or LF, leading and
// trailing blanks are dropped, "[name]" opens a section (up to its last
// bracket), "key=value" adds an entry, the first matching section and key
// win, and a value loses one pair of enclosing quotes.
#include <fstream>
#include <iterator>

#include "sys/profile_reader.h"
#include "sys/text.h"

namespace zel {

namespace {

struct Entry {
    std::string key;
    std::string value;
};

struct Section {
    std::string name;
    std::vector<Entry> entries;
};

void AddLine(const std::string& rawLine, std::vector<Section>& sections) {
    std::string line = TrimWhiteSpace(rawLine);
    if (line.empty()) return;
    if (line[0] == '[') {
        size_t close = line.rfind(']');
        if (close != std::string::npos) {
            sections.push_back({line.substr(1, close - 1), {}});
            return;
        }
    }
    // Entries before the first section belong to a nameless one.
    if (sections.empty()) sections.push_back({"", {}});
    size_t equals = line.find('=');
    if (equals == std::string::npos) {
        sections.back().entries.push_back({line, ""});
        return;
    }
    sections.back().entries.push_back(
        {TrimWhiteSpace(line.substr(0, equals)), TrimWhiteSpace(line.substr(equals + 1))});
}

std::vector<Section> LoadSections(const std::string& path) {
    std::vector<Section> sections;
    std::ifstream in(path, std::ios::binary);
    if (!in) return sections;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string line;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            AddLine(line, sections);
            line.clear();
        } else {
            line += c;
        }
    }
    AddLine(line, sections);
    return sections;
}

std::string StripQuotes(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

}  // namespace

const std::vector<std::string>& ProfileReader::ReadSectionNames() {
    sectionNames_.clear();
    std::int32_t count = 0;
    for (const Section& section : LoadSections(path_)) {
        if (section.name.empty()) continue;
        sectionNames_.push_back(section.name);
        count += static_cast<std::int32_t>(section.name.size()) + 1;
    }
    lastCount_ = count;
    return sectionNames_;
}

std::string ProfileReader::ReadValue(const std::string& section, const std::string& key) {
    lastCount_ = 0;
    for (const Section& candidate : LoadSections(path_)) {
        if (!SameTextNoCase(candidate.name, section)) continue;
        for (const Entry& entry : candidate.entries) {
            if (!SameTextNoCase(entry.key, key)) continue;
            std::string value = StripQuotes(entry.value).substr(0, kMaxValueLength);
            lastCount_ = static_cast<std::int32_t>(value.size());
            return value;
        }
        return "";
    }
    return "";
}

}  // namespace zel
