#include "sys/decimal_number.h"

#include <limits>

#include "sys/text.h"

namespace zel {

namespace {

constexpr std::uint64_t kLargest = std::numeric_limits<std::uint64_t>::max();

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::size_t ReadDecimalDigits(const std::string& text, std::size_t& at, std::uint64_t& value) {
    const std::size_t first = at;
    value = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at) {
        const unsigned digit = static_cast<unsigned>(text[at] - '0');
        value = value > (kLargest - digit) / 10 ? kLargest : value * 10 + digit;
    }
    return at - first;
}

bool ParseDecimal(const std::string& text, std::uint64_t limit, std::uint64_t& value) {
    std::size_t at = 0;
    while (at < text.size() && IsBlank(text[at])) ++at;
    std::uint64_t number = 0;
    if (ReadDecimalDigits(text, at, number) == 0) return false;
    while (at < text.size() && IsBlank(text[at])) ++at;
    if (at != text.size() || number > limit) return false;
    value = number;
    return true;
}

std::int32_t LeadingInt32(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size() && IsWhiteSpace(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    std::uint64_t magnitude = 0;
    ReadDecimalDigits(text, at, magnitude);
    constexpr std::uint64_t kMax = std::numeric_limits<std::int32_t>::max();
    if (!negative) return static_cast<std::int32_t>(magnitude > kMax ? kMax : magnitude);
    if (magnitude > kMax) return std::numeric_limits<std::int32_t>::min();
    return -static_cast<std::int32_t>(magnitude);
}

}  // namespace zel
