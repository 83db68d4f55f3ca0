#include "sys/multibyte.h"

namespace zel {

// The native build reads documents as single-byte text: no byte opens a pair.
bool IsLeadByte(unsigned char) {
    return false;
}

}  // namespace zel
