#pragma once

#include <windows.h>

namespace zel {

// The seven WM_CTLCOLOR* requests a dialog answers with its background brush
// (message boxes, edits, list boxes, buttons, the dialog, scroll bars, statics).
// Windows numbers them one after another.
inline bool IsControlColourRequest(UINT message) {
    static_assert(WM_CTLCOLORSTATIC - WM_CTLCOLORMSGBOX == 6, "the seven requests are contiguous");
    return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

}  // namespace zel
