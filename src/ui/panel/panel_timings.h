// The installation panel's fixed waits. The defaults are the program's real
// pacing; tests shrink them.
#pragma once

namespace zel {

struct PanelTimings {
    unsigned rotationMs = 8000;  // from one page section to the next
    // Longest wait for the HTML engine to answer a probe that is waited for
    // (the tests'; the panel itself never waits for its probe).
    unsigned engineProbeWaitMs = 3000;
};

}  // namespace zel
