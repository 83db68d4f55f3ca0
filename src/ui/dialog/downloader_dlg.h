// The program's one top-level window: the fixed-size dialog with the
// presentation panel, the progress bar, the status line and the Pause/Resume
// and Cancel buttons, and an icon in the notification area. It owns the
// download session and is its Windows side. Windows only.
//
// It runs modally in a loop of its own rather than the system's: its key
// filter must see every message before the dialog manager does.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "res/resource.h"
#include "session/download_session.h"
#include "ui/dialog/dialog_window_port.h"
#include "ui/dialog/process_resources.h"
#include "ui/panel/dlg_ui_htm.h"
#include "ui/tray/app_notify_icon.h"

namespace zel {

// Makes the session for the dialog's port (MakeProgramSession for the
// program). A failure may throw std::bad_alloc or give nothing: the dialog
// then says so and ends without a session.
using SessionFactory = std::function<std::unique_ptr<DownloadSession>(DialogPort&)>;

// Where the dialog announces its window once it exists (the program's
// shared main-window slot).
using WindowPublisher = std::function<void(HWND)>;

class CDownloaderDlg : public NotifyIconOwner {
  public:
    static constexpr int kTemplateId = IDD_MAIN_DIALOG;
    static constexpr int kClientWidth = 641;
    static constexpr int kClientHeight = 519;
    static constexpr int kPanelHeight = 422;  // the panel covers the top of the client area

    // shell is the notification area's (tests watch the calls on their way).
    CDownloaderDlg(ProcessResources& resources, WindowPublisher publishWindow,
                   const SessionFactory& makeSession = MakeProgramSession,
                   NotifyShellCall shell = &CallShellNotifyIcon);
    // Ends the session first (it stops its threads and workers), then the
    // window and everything else the dialog owns.
    ~CDownloaderDlg();
    CDownloaderDlg(const CDownloaderDlg&) = delete;
    CDownloaderDlg& operator=(const CDownloaderDlg&) = delete;

    // Creates the window, runs it until the session or the user ends it and
    // destroys it again: IDCANCEL after a cancel, IDOK otherwise, -1 when
    // the window could not be made.
    INT_PTR DoModal();

    // --- The steps of DoModal, for those who run the loop themselves ----
    bool Create();
    // The key filter, then the dialog manager, then the window procedure.
    void ProcessMessage(MSG& msg);
    bool HasEnded() const { return port_.HasEnded(); }
    // The process's exit code once the dialog has ended.
    int ExitCode() const { return port_.ExitCode(); }
    void Destroy();

    HWND Window() const { return window_.Get(); }
    const CDlgUIHTM& Panel() const { return htmlPanel_; }
    const CAppNotifyIcon& TrayIcon() const { return trayIcon_; }

    // Into the notification area and back (the icon's clicks, the close box).
    bool IsHiddenInTray() const override { return hiddenInTray_; }
    void HideToTray() override;
    void RestoreFromTray() override;

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // A message handled with a result other than TRUE/FALSE.
    INT_PTR Result(LRESULT result) const;

    BOOL OnInitDialog();
    void FitClientArea();
    void LayoutControls();
    void ShowPanel();
    void ReportNoSession();
    bool PreTranslateMessage(MSG& msg);
    void OnCommand(int id);
    bool OnSysCommand(WPARAM command);
    void OnTrayRestore();
    LRESULT OnBringToFront();

    ProcessResources& resources_;
    const WindowPublisher publishWindow_;
    CDlgUIHTM htmlPanel_;
    CAppNotifyIcon trayIcon_;
    HICON appIcon_ = nullptr;  // LoadIconA's icons belong to the system: never destroyed
    ScopedWindow window_;
    HWND progressBar_ = nullptr;
    HWND statusText_ = nullptr;
    bool hiddenInTray_ = false;
    DialogWindowPort port_;
    std::unique_ptr<DownloadSession> session_;  // null when it could not be made
};

}  // namespace zel
