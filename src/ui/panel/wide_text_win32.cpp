#include <windows.h>

#include "ui/panel/wide_text.h"

namespace zel {

std::wstring WidenText(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int length =
        MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), int(text.size()), &wide[0], length);
    return wide;
}

std::string NarrowText(const wchar_t* text) {
    if (!text || !*text) return std::string();
    const int length =
        WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return std::string();
    std::string narrow(size_t(length), '\0');
    WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, &narrow[0], length, nullptr, nullptr);
    narrow.resize(size_t(length) - 1);  // the terminating NUL
    return narrow;
}

ScopedBstr MakeComString(const std::string& text) {
    const std::wstring wide = WidenText(text);
    return ScopedBstr(SysAllocStringLen(wide.data(), UINT(wide.size())));
}

}  // namespace zel
