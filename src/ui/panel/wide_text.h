// Conversions between the program's ANSI texts and the wide texts of COM
// and GDI+, in the calling thread's code page. Windows only.
#pragma once

// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include <string>

#include "sys/win32_handles.h"

namespace zel {

std::wstring WidenText(const std::string& text);
std::string NarrowText(const wchar_t* text);  // null gives an empty text

namespace handle_traits {
// A COM string (BSTR); null is the empty string.
struct ComString {
    using Handle = BSTR;
    static Handle Empty() { return nullptr; }
    static void Free(Handle text) { SysFreeString(text); }
};
}  // namespace handle_traits
using ScopedBstr = ScopedHandle<handle_traits::ComString>;

ScopedBstr MakeComString(const std::string& text);

}  // namespace zel
