// Whether this system can show HTML pages. Windows only.
#pragma once

#include <windows.h>

#include <functional>

namespace zel {

// Asks for the system's HTML document object on a thread of its own and
// hands the answer (true: an engine) to `answer` there. The browser control
// itself is no probe: where its engine is missing (Wine without its Gecko
// package) it is still created, takes a page and never shows it. The probe
// may hang (some Wine builds offer to download their engine at this point)
// and then never answers, so the caller never waits for it without a limit.
// False when the thread could not be started.
bool ProbeHtmlEngine(std::function<void(bool engine)> answer);

// The same for a window's thread: the answer is posted to `window` as
// `message` with wParam 1 (an engine) or 0 (none); no answer is taken as no
// engine.
bool ProbeHtmlEngine(HWND window, unsigned message);

}  // namespace zel
