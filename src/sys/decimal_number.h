// Decimal numbers in text that comes from outside (HTTP headers, the resume
// file, the manifest): one reader, so that every caller meets overflow and
// missing digits the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zel {

// Reads the decimal digits from text[at] on and moves at past them. value is
// the number they write, held at UINT64_MAX when it is larger. Returns how
// many digits were read; none leaves value 0.
std::size_t ReadDecimalDigits(const std::string& text, std::size_t& at, std::uint64_t& value);

// The whole text, blanks (space, tab) around it allowed, as one unsigned
// decimal number no larger than limit.
bool ParseDecimal(const std::string& text, std::uint64_t limit, std::uint64_t& value);

// The number at the start of text as atoi reads it: leading white space, an
// optional sign, the digits up to the first other character (none: 0). Held
// to the signed 32-bit range instead of overflowing.
std::int32_t LeadingInt32(const std::string& text);

}  // namespace zel
