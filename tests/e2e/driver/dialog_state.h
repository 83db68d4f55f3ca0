// What a user sees of the main dialog, read from another process.
#pragma once

#include <windows.h>

#include <string>

namespace zel::e2e {

inline constexpr int kStatusLineId = 1001;
inline constexpr int kPauseButtonId = 1002;
inline constexpr int kCancelButtonId = 2;

std::string ControlText(HWND dialog, int controlId);

// The progress bar's position, or -1 when the program does not answer.
int ProgressPosition(HWND dialog, DWORD timeoutMs);

// One line for reports: shown or hidden, the status line, the buttons and the bar.
std::string DescribeDialog(HWND dialog, DWORD timeoutMs);

}  // namespace zel::e2e
