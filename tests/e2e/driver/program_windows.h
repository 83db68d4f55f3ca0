// Finding the program's windows from another process: the main dialog, its
// message boxes, the notification-area icon's own window and its popup menu,
// and any top-level window by class (the launched package's).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace zel::e2e {

inline constexpr char kDialogClass[] = "#32770";
inline constexpr char kPopupMenuClass[] = "#32768";
inline constexpr char kApplicationTitle[] = "Corvanta 3";
inline constexpr int kProgressBarId = 1000;

std::string ClassOf(HWND window);
std::string TextOf(HWND window);
DWORD ProcessOf(HWND window);

// Message boxes share the main dialog's class and caption; the main dialog
// is the one that carries the progress bar.
HWND FindMainDialog();

// A shown message box of the program (every one carries the application's
// title as caption); text is compared with line breaks made alike ("\r\n"
// and "\n").
HWND FindMessageBox(const std::string& text);

// The texts of every message box the program shows, for reports.
std::vector<std::string> MessageBoxTexts();

// The icon's window: a hidden top-level window of the process without a
// title that is none of the system's own helper windows. Empty when there is
// not exactly one; candidates then lists what was found.
HWND FindIconWindow(DWORD processId, std::vector<std::string>& candidates);

HWND FindPopupMenu(DWORD processId);

// The first shown top-level window of a class, of any process.
HWND FindShownWindowOfClass(const std::string& className);

}  // namespace zel::e2e
