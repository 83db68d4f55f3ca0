// The first copy's main window, as every copy of the program sees it: one
// 32-bit slot in a section of the program file that all its processes
// share. It is 0 until the first copy's dialog exists and is never cleared;
// the system drops it when the last process that maps the file ends.
#pragma once

#include <windows.h>

namespace zel {

HWND ReadSharedMainWindow();
// Called once, by the dialog that exists.
void PublishSharedMainWindow(HWND window);

}  // namespace zel
