// GDI+ running for as long as its one owner lives: the program starts it
// once, before its first window, and shuts it down after the last picture
// drawn with it is gone. Whatever draws with GDI+ is handed the session and
// must not outlive it. Windows only.
#pragma once

#include "sys/library_module.h"
#include "sys/win32_handles.h"

namespace zel {

class GdiplusSession {
  public:
    // Loads GDI+ from the system folder and starts it; when either fails the
    // session is not running and nothing is drawn with GDI+.
    GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

    bool IsRunning() const { return token_.IsValid(); }

  private:
    LibraryModule library_;  // first in, last out: GDI+'s calls bind to it
    ScopedGdiplus token_;
};

}  // namespace zel
