#include "program_windows.h"

#include <algorithm>

namespace zel::e2e {

namespace {

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> ChildWindows(HWND parent) {
    std::vector<HWND> windows;
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// Message-only windows are not top-level windows to EnumWindows.
std::vector<HWND> MessageOnlyWindows() {
    std::vector<HWND> windows;
    for (HWND window = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
         window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) {
        windows.push_back(window);
    }
    return windows;
}

std::string WithNewlines(std::string text) {
    std::string::size_type at;
    while ((at = text.find("\r\n")) != std::string::npos) text.erase(at, 1);
    return text;
}

bool IsDialogOfProgram(HWND window) {
    return ClassOf(window) == kDialogClass && TextOf(window) == kApplicationTitle;
}

bool IsMessageBox(HWND window) {
    return IsWindowVisible(window) && IsDialogOfProgram(window) &&
           !GetDlgItem(window, kProgressBarId);
}

// A message box shows its text in a static control; the icon is a static too.
std::string MessageBoxText(HWND box) {
    std::string text;
    for (HWND child : ChildWindows(box)) {
        if (_stricmp(ClassOf(child).c_str(), "Static") == 0) text += TextOf(child);
    }
    return WithNewlines(text);
}

// Windows that the system gives every process with a user interface.
bool IsSystemHelperClass(const std::string& className) {
    static const char* const kHelpers[] = {"IME",
                                           "OleMainThreadWndClass",
                                           "GDI+ Hook Window Class",
                                           "tooltips_class32",
                                           "CicMarshalWndClass",
                                           kDialogClass,
                                           kPopupMenuClass};
    return std::any_of(std::begin(kHelpers), std::end(kHelpers),
                       [&](const char* helper) { return className == helper; });
}

}  // namespace

std::string ClassOf(HWND window) {
    char name[256] = {};
    int length = GetClassNameA(window, name, sizeof name);
    return std::string(name, length > 0 ? length : 0);
}

// GetWindowTextA reads another process's window text from the window
// manager's own copy, without sending the window a message: a busy program
// cannot hold the driver up.
std::string TextOf(HWND window) {
    char text[1024] = {};
    int length = GetWindowTextA(window, text, sizeof text);
    return std::string(text, length > 0 ? length : 0);
}

DWORD ProcessOf(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

HWND FindMainDialog() {
    for (HWND window : TopLevelWindows()) {
        if (IsDialogOfProgram(window) && GetDlgItem(window, kProgressBarId)) return window;
    }
    return nullptr;
}

HWND FindMessageBox(const std::string& text) {
    const std::string wanted = WithNewlines(text);
    for (HWND window : TopLevelWindows()) {
        if (IsMessageBox(window) && MessageBoxText(window) == wanted) return window;
    }
    return nullptr;
}

std::vector<std::string> MessageBoxTexts() {
    std::vector<std::string> texts;
    for (HWND window : TopLevelWindows()) {
        if (IsMessageBox(window)) texts.push_back(MessageBoxText(window));
    }
    return texts;
}

HWND FindIconWindow(DWORD processId, std::vector<std::string>& candidates) {
    std::vector<HWND> windows = TopLevelWindows();
    std::vector<HWND> messageOnly = MessageOnlyWindows();
    windows.insert(windows.end(), messageOnly.begin(), messageOnly.end());
    std::vector<HWND> found;
    candidates.clear();
    for (HWND window : windows) {
        if (ProcessOf(window) != processId || IsWindowVisible(window)) continue;
        if (!TextOf(window).empty() || IsSystemHelperClass(ClassOf(window))) continue;
        found.push_back(window);
        candidates.push_back(ClassOf(window));
    }
    return found.size() == 1 ? found.front() : nullptr;
}

HWND FindPopupMenu(DWORD processId) {
    for (HWND window : TopLevelWindows()) {
        if (ProcessOf(window) == processId && IsWindowVisible(window) &&
            ClassOf(window) == kPopupMenuClass) {
            return window;
        }
    }
    return nullptr;
}

HWND FindShownWindowOfClass(const std::string& className) {
    for (HWND window : TopLevelWindows()) {
        if (IsWindowVisible(window) && ClassOf(window) == className) return window;
    }
    return nullptr;
}

}  // namespace zel::e2e
