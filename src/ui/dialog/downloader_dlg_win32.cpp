#include <windows.h>
// commctrl.h needs windows.h first: MinGW's copy does not include it.
#include <commctrl.h>

#include <new>

#include "res/resource.h"
#include "sys/registry_markers.h"
#include "sys/resource_strings.h"
#include "ui/control_colour.h"
#include "ui/dialog/downloader_dlg.h"
#include "ui/key_filter.h"
#include "ui/tray/tray_animation.h"

namespace zel {

namespace {

constexpr const char* kTrayBalloonText = "Corvanta installation is in progress...";

// Places a control, in the dialog's client coordinates, repainting it.
void Place(HWND control, int x, int y, int width, int height) {
    if (control) MoveWindow(control, x, y, width, height, TRUE);
}

}  // namespace

CDownloaderDlg::CDownloaderDlg(ProcessResources& resources, WindowPublisher publishWindow,
                               const SessionFactory& makeSession, NotifyShellCall shell)
    : resources_(resources),
      publishWindow_(std::move(publishWindow)),
      htmlPanel_(resources.Gdiplus()),
      trayIcon_(*this, std::move(shell)),
      appIcon_(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APP_ICON))) {
    try {
        session_ = makeSession(port_);
    } catch (const std::bad_alloc&) {
        session_.reset();
    }
}

CDownloaderDlg::~CDownloaderDlg() {
    port_.Close();
    session_.reset();
    Destroy();
}

// --- The program's modal loop --------------------------------------------------------

INT_PTR CDownloaderDlg::DoModal() {
    if (!Create()) return -1;
    MSG msg;
    while (!HasEnded()) {
        // WM_QUIT (0) or a broken queue (-1) end the loop as well.
        if (GetMessageA(&msg, nullptr, 0, 0) <= 0) break;
        ProcessMessage(msg);
    }
    Destroy();
    return port_.EndedHow() == DialogEnd::Cancel ? IDCANCEL : IDOK;
}

bool CDownloaderDlg::Create() {
    HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kTemplateId),
                                     nullptr, DialogProc, LPARAM(this));
    return window != nullptr;
}

void CDownloaderDlg::ProcessMessage(MSG& msg) {
    if (PreTranslateMessage(msg)) return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

void CDownloaderDlg::Destroy() {
    // Boxes of other threads go with the dialog; their callers get the
    // answer of a shutdown.
    port_.Close();
    port_.Detach();
    window_.Reset();
}

bool CDownloaderDlg::PreTranslateMessage(MSG& msg) {
    // The panel sees its own messages first (its browser's keys among them),
    // with the same key filter.
    HWND panel = htmlPanel_.Window();
    if (panel && (msg.hwnd == panel || IsChild(panel, msg.hwnd)) &&
        htmlPanel_.PreTranslateMessage(&msg))
        return true;
    // Every message passes the key filter first: Escape must not cancel,
    // Alt+F4 not close, F5 not reload the panel, Enter press nothing; Tab,
    // Shift+Tab and the arrows move between the buttons.
    std::uintptr_t key = msg.wParam;
    const KeyFilterResult filtered = FilterDialogKey(msg.message, key);
    msg.wParam = WPARAM(key);
    if (filtered == KeyFilterResult::kNotHandled) return false;
    HWND window = window_.Get();
    return window && IsDialogMessageA(window, &msg);
}

// --- Window procedure ---------------------------------------------------------------------

INT_PTR CALLBACK CDownloaderDlg::DialogProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CDownloaderDlg*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        self->window_.Reset(window);
        return self->OnInitDialog();
    }
    auto* self = reinterpret_cast<CDownloaderDlg*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_NCDESTROY) {
        // The window is gone on its own: the owner must not destroy it again.
        SetWindowLongPtrA(window, DWLP_USER, 0);
        self->port_.Detach();
        self->window_.Release();
        return FALSE;
    }
    return self->HandleMessage(message, wParam, lParam);
}

INT_PTR CDownloaderDlg::Result(LRESULT result) const {
    SetWindowLongPtrA(window_.Get(), DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CDownloaderDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == resources_.BringToFrontMessage() && message != 0)
        return Result(OnBringToFront());
    if (message == DialogWindowPort::kApplyChangesMessage) {
        port_.ApplyPendingChanges();
        return Result(0);
    }
    if (session_ && session_->HandleDialogMessage(message, wParam, lParam)) return Result(0);
    // Returned as it is, not through DWLP_MSGRESULT.
    if (IsControlColourRequest(message)) return INT_PTR(resources_.WhiteBrush());
    switch (message) {
        case WM_QUERYDRAGICON:
            return INT_PTR(appIcon_);
        case WM_TIMER:
            if (wParam != kLaunchTimerId || !session_) return FALSE;
            session_->OnLaunchTimer();
            return Result(0);
        case WM_COMMAND:
            // Button clicks and menu commands; other notifications are not ours.
            if (HIWORD(wParam) != BN_CLICKED) return FALSE;
            OnCommand(LOWORD(wParam));
            return Result(0);
        case WM_SYSCOMMAND:
            return OnSysCommand(wParam) ? Result(0) : FALSE;
        default:
            return FALSE;
    }
}

// --- Initialisation and layout -------------------------------------------------------------

BOOL CDownloaderDlg::OnInitDialog() {
    WriteRegistryMarkers();
    HWND window = window_.Get();
    port_.Attach(window);
    progressBar_ = GetDlgItem(window, kProgressBarId);
    statusText_ = GetDlgItem(window, kStatusTextId);
    resources_.StatusFont();
    if (publishWindow_) publishWindow_(window);
    SendMessageA(window, WM_SETICON, ICON_BIG, LPARAM(appIcon_));
    SendMessageA(window, WM_SETICON, ICON_SMALL, LPARAM(appIcon_));
    FitClientArea();
    LayoutControls();
    if (session_) {
        session_->StartSessionThread();
        ShowPanel();
    } else {
        ReportNoSession();
    }
    return TRUE;
}

void CDownloaderDlg::ShowPanel() {
    if (!htmlPanel_.Create(window_.Get())) return;
    MoveWindow(htmlPanel_.Window(), 0, 0, kClientWidth, kPanelHeight, TRUE);
    ShowWindow(htmlPanel_.Window(), SW_SHOW);
}

void CDownloaderDlg::FitClientArea() {
    // The frame's size depends on the system's font and theme; the client
    // area is the same everywhere.
    HWND window = window_.Get();
    RECT client{}, frame{};
    GetClientRect(window, &client);
    GetWindowRect(window, &frame);
    const int width = (frame.right - frame.left) - (client.right - client.left) + kClientWidth;
    const int height = (frame.bottom - frame.top) - (client.bottom - client.top) + kClientHeight;
    // Centred on the work area: the template leaves it in the screen's corner.
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int left = work.left + ((work.right - work.left) - width) / 2;
    const int top = work.top + ((work.bottom - work.top) - height) / 2;
    MoveWindow(window, left > work.left ? left : work.left, top > work.top ? top : work.top, width,
               height, TRUE);
}

void CDownloaderDlg::LayoutControls() {
    RECT client{};
    GetClientRect(window_.Get(), &client);
    const int width = client.right;
    const int height = client.bottom;

    port_.EnableButton(kPauseButtonId, false);
    Place(progressBar_, 7, height - 60, width - 14, 18);
    if (progressBar_) {
        SendMessageA(progressBar_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        SendMessageA(progressBar_, PBM_SETPOS, 0, 0);
    }
    Place(statusText_, 7, height - 30, 307, 20);
    if (statusText_) SendMessageA(statusText_, WM_SETFONT, WPARAM(resources_.StatusFont()), TRUE);
    Place(GetDlgItem(window_.Get(), kPauseButtonId), width - 170, height - 30, 75, 21);
    Place(GetDlgItem(window_.Get(), kCancelButtonId), width - 85, height - 30, 75, 21);
    port_.SetStatusLine("");
    trayIcon_.Install(LoadResourceString(IDS_APP_TITLE), window_.Get(), IDI_APP_ICON, IDR_TRAY_MENU,
                      0, false);
}

void CDownloaderDlg::ReportNoSession() {
    // Nothing to download with: say so, and end as a cancel would.
    port_.ShowMessageBox(LoadResourceString(IDS_NO_SESSION), kMbOk | kMbIconError);
    port_.EndDialog(DialogEnd::Cancel);
}

// --- Commands ------------------------------------------------------------------------------

void CDownloaderDlg::OnCommand(int id) {
    if (id == ID_TRAY_RESTORE) {
        OnTrayRestore();
        return;
    }
    if (!session_) {
        if (id == kCancelButtonId) port_.EndDialog(DialogEnd::Cancel);
        return;
    }
    switch (id) {
        case kPauseButtonId:
            session_->OnPauseResume();
            break;
        case kRestartButtonId:
            session_->OnRestart();
            break;
        case kCancelButtonId:
            session_->OnCancelDownload();
            break;
        default:
            break;
    }
}

bool CDownloaderDlg::OnSysCommand(WPARAM command) {
    HWND window = window_.Get();
    switch (command & 0xFFF0) {
        case SC_CLOSE:
            // The close box never ends the download: it only hides the window.
            HideToTray();
            return true;
        case SC_MINIMIZE:
            ShowWindow(window, SW_MINIMIZE);
            return false;
        case SC_RESTORE:
            ShowWindow(window, SW_RESTORE);
            InvalidateRect(window, nullptr, TRUE);
            return false;
        default:
            return false;
    }
}

// --- The notification area and the second copy ------------------------------------------

void CDownloaderDlg::HideToTray() {
    HWND window = window_.Get();
    hiddenInTray_ = true;
    RECT from{}, to{};
    // Without a place for the notification area there is nothing to slide to.
    if (IsMinimizeAnimationOn() && GetWindowRect(window, &from) && GetTrayAreaRect(to))
        DrawAnimatedRects(window, IDANI_CAPTION, &from, &to);
    ShowWindow(window, SW_HIDE);
    if (!trayIcon_.IsInTray()) trayIcon_.AddToTray();
    trayIcon_.ShowBalloon(kTrayBalloonText);
}

void CDownloaderDlg::RestoreFromTray() {
    HWND window = window_.Get();
    hiddenInTray_ = false;
    SlideOutOfTray(window);
    BringWindowToTop(window);
    SetForegroundWindow(window);
    ShowWindow(window, SW_RESTORE);
}

void CDownloaderDlg::OnTrayRestore() {
    if (hiddenInTray_) RestoreFromTray();
}

LRESULT CDownloaderDlg::OnBringToFront() {
    // lParam is an address in the other copy: never read through it.
    HWND window = window_.Get();
    SetForegroundWindow(window);
    ShowWindow(window, SW_RESTORE);
    PostMessageA(window, WM_LBUTTONDOWN, 0, 0);
    BringWindowToTop(window);
    SetForegroundWindow(window);
    return 0;
}

}  // namespace zel
