// The values that live as long as the program and that its windows share:
// the application object makes them before its dialog and keeps them until
// it ends. Windows only.
#pragma once

#include <windows.h>

#include "sys/win32_handles.h"
#include "ui/gdiplus_session.h"

namespace zel {

class ProcessResources {
  public:
    // Registers the bring-to-front message, starts GDI+ and makes the white
    // brush. A part that fails is left empty: nothing depends on it to run.
    ProcessResources();
    ProcessResources(const ProcessResources&) = delete;
    ProcessResources& operator=(const ProcessResources&) = delete;

    // The message by which a second copy asks the first to come forward.
    UINT BringToFrontMessage() const { return bringToFrontMessage_; }
    // The program's one GDI+: the panel's painter draws with it.
    const GdiplusSession& Gdiplus() const { return gdiplus_; }
    // The answer to every control-colour request of the main dialog.
    HBRUSH WhiteBrush() const { return whiteBrush_.Get(); }
    // The status line's font, made on first use (the dialog's initialisation)
    // and kept; null when the system refused it.
    HFONT StatusFont();

  private:
    UINT bringToFrontMessage_ = 0;
    GdiplusSession gdiplus_;
    ScopedBrush whiteBrush_;
    ScopedFont statusFont_;
};

}  // namespace zel
