// The installation panel's fixed waits. The defaults are the program's real
// pacing; tests shrink them.
#pragma once

namespace zel {

struct PanelTimings {
    unsigned rotationMs = 8000;         // from one page section to the next
    unsigned engineProbeWaitMs = 3000;  // longest wait for the HTML engine to answer the probe
};

}  // namespace zel
