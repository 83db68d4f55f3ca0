// Every top-level window on the desktop, of any process. Windows only.
#pragma once

#include <windows.h>

#include <vector>

namespace zel::test {

std::vector<HWND> TopLevelWindows();

}  // namespace zel::test
