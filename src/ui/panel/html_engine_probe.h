// Whether this system can show HTML pages. Windows only.
#pragma once

#include <windows.h>

namespace zel {

// Asks for the system's HTML document object on a worker thread and waits at
// most `waitMs` for the answer; no answer in time counts as no engine. The
// browser control itself is no probe: where its engine is missing (Wine
// without its Gecko package) it is still created, takes a page and never
// shows it.
bool HtmlEngineAvailable(unsigned waitMs);

// The same probe without a wait, for a window's thread: it returns at once,
// and the answer is posted to `window` as `message` with wParam 1 (an
// engine) or 0 (none). A probe that hangs never answers, which the window
// takes as no engine. False when the probe could not be started.
bool ProbeHtmlEngine(HWND window, unsigned message);

}  // namespace zel
