#include "ui/tray/bounded_text.h"

namespace zel {

size_t WholeCharacterLength(const std::string& text, size_t maxBytes,
                            LeadBytePredicate isLeadByte) {
    size_t length = 0;
    while (length < text.size()) {
        // A lead byte at the very end has no partner: it is a character of its own.
        const bool pair =
            isLeadByte(static_cast<unsigned char>(text[length])) && length + 1 < text.size();
        const size_t next = length + (pair ? 2 : 1);
        if (next > maxBytes) break;
        length = next;
    }
    return length;
}

std::string CutToWholeCharacters(const std::string& text, size_t maxBytes,
                                 LeadBytePredicate isLeadByte) {
    return text.substr(0, WholeCharacterLength(text, maxBytes, isLeadByte));
}

}  // namespace zel
