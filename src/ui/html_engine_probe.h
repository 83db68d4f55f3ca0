// Whether this system can show HTML pages. Windows only.
#pragma once

namespace zel {

// Asks for the system's HTML document object on a worker thread and waits at
// most `waitMs` for the answer; no answer in time counts as no engine. The
// browser control itself is no probe: where its engine is missing (Wine
// without its Gecko package) it is still created, takes a page and never
// shows it.
bool HtmlEngineAvailable(unsigned waitMs);

}  // namespace zel
