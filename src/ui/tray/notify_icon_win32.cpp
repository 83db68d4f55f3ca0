#include "ui/tray/bounded_text.h"
#include "ui/tray/notify_icon.h"
#include "ui/tray/shell_version.h"

namespace zel {

namespace {

constexpr UINT kAddFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
constexpr int kInstalledTipLimit = 127;
constexpr size_t kBalloonTextLimit = 255;
constexpr UINT kBalloonTimeoutMs = 10000;

#if defined(__i386__)
static_assert(kNotifyRecordSize == 488, "the shipped program sends the 488-byte record");
#endif

HINSTANCE ResourceModule() {
    return GetModuleHandleA(nullptr);
}

// The small (notification-area) size of an icon resource of this program.
HICON LoadSmallIcon(UINT iconId) {
    return static_cast<HICON>(LoadImageA(ResourceModule(), MAKEINTRESOURCEA(LOWORD(iconId)),
                                         IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
}

}  // namespace

bool CallShellNotifyIcon(DWORD message, const NOTIFYICONDATAA& record) {
    // The shell only reads the record; its prototype just lacks the const.
    return Shell_NotifyIconA(message, const_cast<NOTIFYICONDATAA*>(&record)) != FALSE;
}

CNotifyIcon::CNotifyIcon(NotifyShellCall shell)
    : shell_(std::move(shell)), taskbarCreatedMessage_(RegisterWindowMessageA("TaskbarCreated")) {
    record_ = {};
    record_.cbSize = kNotifyRecordSize;
    record_.uFlags = kAddFlags;
    record_.uCallbackMessage = kNotifyIconCallbackMessage;
}

CNotifyIcon::~CNotifyIcon() {
    RemoveFromTray();
    Destroy();
}

bool CNotifyIcon::Install(const std::string& caption, HWND owner, UINT iconId, UINT id,
                          UINT defaultItem, bool defaultByPosition) {
    if (!owner) return false;
    mainTip_ = caption;
    targetWindow_ = owner;
    tipLimit_ = kInstalledTipLimit;
    SetIconFromResource(iconId);
    SetTipText(mainTip_);
    // A window that cannot be made still leaves the icon recorded; the add
    // then fails in the shell, which wants a window to call back.
    Create(0, 0, 0, 0);
    record_.hWnd = Handle();
    record_.uID = id;
    defaultMenuItem_ = defaultItem;
    defaultByPosition_ = defaultByPosition;
    reAddFlags_ = kAddFlags;
    return AddToTray();
}

bool CNotifyIcon::Send(DWORD message) {
    return shell_(message, record_);
}

bool CNotifyIcon::AddToTray() {
    if (!removed_) RemoveFromTray();
    record_.uFlags = kAddFlags;
    if (!Send(NIM_ADD)) {
        addPending_ = true;
        return false;
    }
    hidden_ = false;
    removed_ = false;
    // The mark says the last add was refused; this one was not.
    addPending_ = false;
    return true;
}

bool CNotifyIcon::RemoveFromTray() {
    addPending_ = false;
    if (removed_) return true;
    record_.uFlags = 0;
    if (!Send(NIM_DELETE)) return false;
    hidden_ = true;
    removed_ = true;
    return true;
}

bool CNotifyIcon::RestoreAfterShellRestart() {
    if (removed_ || hidden_) return false;
    record_.uFlags = reAddFlags_;
    addPending_ = !Send(NIM_ADD);
    return addPending_;
}

bool CNotifyIcon::SetTipText(const std::string& text) {
    mainTip_ = CutToWholeCharacters(text, size_t(tipLimit_ - 1));
    return SendTip(mainTip_);
}

bool CNotifyIcon::SendTip(const std::string& tip) {
    record_.uFlags = NIF_TIP;
    CopyToTextField(record_.szTip, tip, size_t(tipLimit_ - 1));
    if (hidden_) return true;
    return Send(NIM_MODIFY);
}

bool CNotifyIcon::SetIconFromResource(UINT iconId) {
    // Loaded before the old one goes, so that the new handle cannot take the
    // old one's value and pass for "the same icon".
    CIconHandle loaded(LoadSmallIcon(iconId));
    currentIcon_ = std::move(loaded);
    return SetIconHandle(currentIcon_.Get());
}

bool CNotifyIcon::SetIconHandle(HICON icon) {
    if (icon == record_.hIcon) return true;
    record_.uFlags = NIF_ICON;
    record_.hIcon = icon;
    if (hidden_) return true;
    return Send(NIM_MODIFY);
}

bool CNotifyIcon::ShowBalloon(const char* text) {
    if (!ShellSupportsBalloons() || !text) return false;
    record_.uFlags |= NIF_INFO;
    CopyToTextField(record_.szInfo, text, kBalloonTextLimit);
    CopyToTextField(record_.szInfoTitle, std::string(), 0);
    record_.uTimeout = kBalloonTimeoutMs;
    record_.dwInfoFlags = NIIF_NONE;
    const bool shown = Send(NIM_MODIFY);
    // Later changes and re-adds must not bring the balloon back.
    CopyToTextField(record_.szInfo, std::string(), 0);
    return shown;
}

bool CNotifyIcon::DefaultCommand(UINT& command) const {
    if (!defaultByPosition_) {
        command = defaultMenuItem_;
        return true;
    }
    ScopedMenu menu(LoadMenuA(ResourceModule(), MAKEINTRESOURCEA(record_.uID)));
    const HMENU popup = menu ? GetSubMenu(menu.Get(), 0) : nullptr;
    if (!popup) return false;
    // A position past the end, or one holding a submenu, names no command.
    const UINT id = GetMenuItemID(popup, int(defaultMenuItem_));
    if (id == UINT(-1)) return false;
    command = id;
    return true;
}

bool CNotifyIcon::ShowPopupMenu() {
    ScopedMenu menu(LoadMenuA(ResourceModule(), MAKEINTRESOURCEA(record_.uID)));
    const HMENU popup = menu ? GetSubMenu(menu.Get(), 0) : nullptr;
    if (!popup) return false;
    SetMenuDefaultItem(popup, defaultMenuItem_, defaultByPosition_ ? TRUE : FALSE);
    POINT cursor = {};
    GetCursorPos(&cursor);
    // Without the foreground the menu would not close on a click elsewhere.
    SetForegroundWindow(targetWindow_);
    TrackPopupMenu(popup, 0, cursor.x, cursor.y, 0, targetWindow_, nullptr);
    // Without a message to the target after the menu, the next menu from
    // the notification area would not close when the user clicks elsewhere.
    PostMessageA(targetWindow_, WM_NULL, 0, 0);
    menu.Reset();
    Send(NIM_SETFOCUS);
    return true;
}

bool CNotifyIcon::SettledBeforeClickHandling(WPARAM wParam, LPARAM lParam, LRESULT& result) const {
    result = 0;
    if (wParam != record_.uID || !targetWindow_) return true;
    result = 1;
    return SendMessageA(targetWindow_, kNotifyIconCallbackMessage, wParam, lParam) != 0;
}

LRESULT CNotifyIcon::HandleNotification(WPARAM wParam, LPARAM lParam) {
    LRESULT settled = 0;
    if (SettledBeforeClickHandling(wParam, lParam, settled)) return settled;
    switch (LOWORD(lParam)) {
        case WM_CONTEXTMENU:
        case WM_RBUTTONUP:
        case NIN_SELECT:
        case NIN_KEYSELECT:
            return ShowPopupMenu() ? 1 : 0;
        case WM_LBUTTONDBLCLK: {
            SetForegroundWindow(targetWindow_);
            UINT command = 0;
            if (!DefaultCommand(command)) return 0;
            SendMessageA(targetWindow_, WM_COMMAND, command, 0);
            return 1;
        }
        default:
            return 1;
    }
}

LRESULT CNotifyIcon::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == record_.uCallbackMessage) return HandleNotification(wParam, lParam);
    if (taskbarCreatedMessage_ != 0 && message == taskbarCreatedMessage_) {
        RestoreAfterShellRestart();
        return 0;
    }
    switch (message) {
        case WM_SETTINGCHANGE: {
            const LRESULT result = PopupWindow::HandleMessage(message, wParam, lParam);
            // A taskbar still starting may refuse the re-add; the work-area
            // change it announces once it stands is the moment to retry.
            if (wParam == SPI_SETWORKAREA && addPending_) RestoreAfterShellRestart();
            return result;
        }
        default:
            return PopupWindow::HandleMessage(message, wParam, lParam);
    }
}

}  // namespace zel
