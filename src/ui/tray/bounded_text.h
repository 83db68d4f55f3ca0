// Cutting ANSI texts to the fixed text fields of shell records. The process's
// code page may be a double-byte one, so a cut steps over whole characters:
// the shell would otherwise show a lead byte without its partner as garbage.
#pragma once

#include <cstddef>
#include <string>

#include "sys/multibyte.h"

namespace zel {

// The length, in bytes, of the longest start of text that fits in maxBytes
// and ends on a character boundary.
size_t WholeCharacterLength(const std::string& text, size_t maxBytes,
                            LeadBytePredicate isLeadByte = &IsLeadByte);

// The longest start of text of at most maxBytes bytes that keeps every
// character whole.
std::string CutToWholeCharacters(const std::string& text, size_t maxBytes,
                                 LeadBytePredicate isLeadByte = &IsLeadByte);

// Copies at most maxBytes bytes of text (fewer when a character would be
// parted, and never more than the field holds) into a fixed field, and zeroes
// the rest: the field always ends in a zero, also after a longer text.
template <size_t N>
void CopyToTextField(char (&field)[N], const std::string& text, size_t maxBytes,
                     LeadBytePredicate isLeadByte = &IsLeadByte) {
    static_assert(N > 0, "a text field holds at least its terminating zero");
    const size_t length = WholeCharacterLength(text, maxBytes < N ? maxBytes : N - 1, isLeadByte);
    for (size_t i = 0; i < N; ++i) field[i] = i < length ? text[i] : '\0';
}

}  // namespace zel
