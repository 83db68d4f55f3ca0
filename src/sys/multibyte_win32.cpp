#include <windows.h>

#include "sys/multibyte.h"

namespace zel {

bool IsLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != FALSE;
}

}  // namespace zel
