#include "engine/transport/content_range.h"

#include "sys/decimal_number.h"
#include "sys/text.h"

namespace zel {

namespace {

constexpr std::uint64_t kLargest = std::uint64_t{1} << 53;

bool ReadNumber(const std::string& text, size_t* at, std::int64_t* value) {
    std::uint64_t number = 0;
    if (ReadDecimalDigits(text, *at, number) == 0 || number > kLargest) return false;
    *value = static_cast<std::int64_t>(number);
    return true;
}

bool Expect(const std::string& text, size_t* at, char c) {
    if (*at >= text.size() || text[*at] != c) return false;
    ++*at;
    return true;
}

void SkipBlanks(const std::string& text, size_t* at) {
    while (*at < text.size() && (text[*at] == ' ' || text[*at] == '\t')) ++*at;
}

}  // namespace

bool ParseContentRange(const std::string& text, ContentRange* range) {
    size_t at = 0;
    SkipBlanks(text, &at);
    const std::string unit = "bytes";
    if (!SameTextNoCase(text.substr(at, unit.size()), unit)) return false;
    at += unit.size();
    SkipBlanks(text, &at);
    ContentRange parsed;
    if (!ReadNumber(text, &at, &parsed.first) || !Expect(text, &at, '-') ||
        !ReadNumber(text, &at, &parsed.last) || !Expect(text, &at, '/'))
        return false;
    if (at < text.size() && text[at] == '*') {
        ++at;
    } else if (!ReadNumber(text, &at, &parsed.total)) {
        return false;
    }
    SkipBlanks(text, &at);
    if (at != text.size() || parsed.first > parsed.last) return false;
    if (parsed.total >= 0 && parsed.last >= parsed.total) return false;
    *range = parsed;
    return true;
}

}  // namespace zel
