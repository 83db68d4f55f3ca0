#include <windows.h>
// commctrl.h needs windows.h first: MinGW's copy does not include it.
#include <commctrl.h>

#include "app/downloader_app.h"
#include "app/shared_main_window.h"
#include "res/resource.h"
#include "sys/resource_strings.h"

namespace zel {

namespace {

constexpr const char* kMutexName = "ZELDownloader_MUTEX_7E3A91C2-5B04-4d6f-9A1E-2C8D40F7B613";
constexpr const char* kDialogClass = "#32770";
// Sent with the bring-to-front message; the receiver never reads it (it is
// an address in this process).
constexpr const char* kAlreadyRunning = "AlreadyRunning";

// A window handle may outlive its window and be given to another: only a
// dialog with the program's caption is the first copy's.
bool IsProgramMainWindow(HWND window) {
    if (!window || !IsWindow(window)) return false;
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    char caption[256] = {};
    GetWindowTextA(window, caption, sizeof caption);
    return lstrcmpA(className, kDialogClass) == 0 &&
           LoadResourceString(IDS_APP_TITLE) == std::string(caption);
}

}  // namespace

CDownloaderApp::CDownloaderApp() : mutexName_(kMutexName) {}

int CDownloaderApp::InitInstance() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    if (BringPublishedCopyForward()) return kSecondCopyExitCode;
    if (CreateInstanceMutex()) GiveWayToStartingCopy();
    return RunMainDialog();
}

bool CDownloaderApp::BringPublishedCopyForward() const {
    HWND first = ReadSharedMainWindow();
    // A stale slot (a first copy that ended while the section stayed
    // mapped) must not keep this copy from starting.
    if (!IsProgramMainWindow(first)) return false;
    SetForegroundWindow(first);
    if (IsIconic(first)) ShowWindow(first, SW_RESTORE);
    return true;
}

bool CDownloaderApp::CreateInstanceMutex() {
    mutex_.Reset(CreateMutexA(nullptr, TRUE, mutexName_.c_str()));
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    if (mutex_) ReleaseMutex(mutex_.Get());
    return existed;
}

void CDownloaderApp::GiveWayToStartingCopy() const {
    HWND first = FindWindowA(kDialogClass, LoadResourceString(IDS_APP_TITLE).c_str());
    if (first && IsWindow(first))
        PostMessageA(first, resources_.BringToFrontMessage(), 0, LPARAM(kAlreadyRunning));
    ExitProcess(kSecondCopyExitCode);
}

int CDownloaderApp::RunMainDialog() {
    Sleep(0);
    CDownloaderDlg dialog(resources_, PublishSharedMainWindow);
    dialog.DoModal();
    return dialog.ExitCode();
}

}  // namespace zel
