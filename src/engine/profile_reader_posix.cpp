// Our own reader, giving the results the platform's profile functions give
// for the files the engine writes: lines end at CR or LF, leading and
// trailing blanks are dropped, "[name]" opens a section (up to its last
// bracket), "key=value" adds an entry, the first matching section and key
// win, and a value loses one pair of enclosing quotes.
#include <cctype>
#include <fstream>
#include <iterator>

#include "engine/profile_reader.h"

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

bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string Trim(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

bool SameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

void AddLine(const std::string& rawLine, std::vector<Section>& sections) {
    std::string line = Trim(rawLine);
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
        {Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))});
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
        if (!SameNoCase(candidate.name, section)) continue;
        for (const Entry& entry : candidate.entries) {
            if (!SameNoCase(entry.key, key)) continue;
            std::string value = StripQuotes(entry.value).substr(0, kMaxValueLength);
            lastCount_ = static_cast<std::int32_t>(value.size());
            return value;
        }
        return "";
    }
    return "";
}

}  // namespace zel
