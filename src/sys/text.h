// Small text helpers the readers and checks share. They look at ASCII only:
// the trail bytes of the double-byte code pages never fall in the white-space
// range, so trimming byte by byte keeps characters whole, and the texts
// compared without regard to case (keys, section names, hex digests) are
// ASCII by their nature.
#pragma once

#include <string>

namespace zel {

// Space, tab, CR, LF, vertical tab or form feed.
bool IsWhiteSpace(char c);

// The text without white space at either end.
std::string TrimWhiteSpace(const std::string& text);

// Equal when A-Z and a-z are taken as the same; other bytes must match.
bool SameTextNoCase(const std::string& a, const std::string& b);

// Orders as SameTextNoCase compares: A-Z taken as a-z, other bytes by their
// unsigned value, whatever the process's locale.
bool LessNoCase(const std::string& a, const std::string& b);

// The text with a-z made A-Z; other bytes stay.
std::string UpperAscii(std::string text);

}  // namespace zel
