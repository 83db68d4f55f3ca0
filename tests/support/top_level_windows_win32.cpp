#include "support/top_level_windows.h"

namespace zel::test {

namespace {

// A plain function: on i686 a lambda does not convert to a stdcall callback.
BOOL CALLBACK Collect(HWND window, LPARAM windows) {
    reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(Collect, LPARAM(&windows));
    return windows;
}

}  // namespace zel::test
