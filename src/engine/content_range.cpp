#include "engine/content_range.h"

#include <cctype>
#include <cstring>

namespace zel {

namespace {

constexpr std::int64_t kLargest = std::int64_t{1} << 53;

bool ReadNumber(const std::string& text, size_t* at, std::int64_t* value) {
    size_t i = *at;
    std::int64_t number = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        number = number * 10 + (text[i] - '0');
        if (number > kLargest) return false;
        ++i;
    }
    if (i == *at) return false;
    *at = i;
    *value = number;
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
    static const char kUnit[] = "bytes";
    for (size_t i = 0; i < std::strlen(kUnit); ++i, ++at) {
        if (at >= text.size() || std::tolower(static_cast<unsigned char>(text[at])) != kUnit[i])
            return false;
    }
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
