#include <windows.h>
// gdiplus.h needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out
// of windows.h.
#include <objidl.h>
// Only after those.
#include <gdiplus.h>

#include "ui/gdiplus_session.h"

namespace zel {

namespace handle_traits {
void GdiplusToken::Free(ULONG_PTR token) {
    Gdiplus::GdiplusShutdown(token);
}
}  // namespace handle_traits

GdiplusSession::GdiplusSession() {
    // GDI+ is delay-loaded: from the system folder, here, before its first call.
    if (!library_.Load(kGdiplusLibrary)) return;
    // Version 1, no debug callback, GDI+ keeps its own background thread.
    Gdiplus::GdiplusStartupInput input(nullptr, FALSE, FALSE);
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) token_.Reset(token);
}

}  // namespace zel
