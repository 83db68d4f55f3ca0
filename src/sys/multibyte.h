// The one code-page question the text scanners need answered.
#pragma once

namespace zel {

// True when the byte opens a two-byte character in the process's ANSI code
// page, so that its next byte belongs to the same character.
bool IsLeadByte(unsigned char byte);

// IsLeadByte, or a given code page's rule in its place.
using LeadBytePredicate = bool (*)(unsigned char);

}  // namespace zel
