// The keyboard filter that the download window and its page panel put in
// front of the dialog manager, so that the window behaves as a fixed screen
// and not as a browser: Escape does not cancel, Alt+F4 does not close and F5
// does not reload the page, while Tab, Shift+Tab and the arrow keys still
// move between the buttons. Portable: message numbers are the system's.
#pragma once

#include <cstdint>

namespace zel {

enum class KeyFilterResult {
    kNotHandled,           // dispatch the message as it now stands, without the dialog manager
    kPreTranslateAsUsual,  // let the dialog manager pre-translate the message
};

// Looks at one message about to be dispatched and may turn its key code
// (wParam) into 0, which no window acts on. F4 and F5 are filtered in every
// keyboard message that carries them, Escape in key-down messages; other
// messages pass untouched.
KeyFilterResult FilterDialogKey(unsigned message, std::uintptr_t& wParam);

}  // namespace zel
