// The demo package that the private mirror serves in place of the real
// Corvanta 3 setup. Started by ZelDownloader after the digest check, it
// leaves a marker file beside itself (so that a script can tell that it ran)
// and shows a small window saying that the real setup would start here. Its
// size comes from a block of filler carried as a resource.
#include <windows.h>

#include <string>

#include "sys/win32_handles.h"

namespace {

constexpr char kWindowClass[] = "Corvanta3DemoSetup";
constexpr char kWindowTitle[] = "Corvanta 3 Setup";
constexpr char kMarkerName[] = "corvanta3-setup-started.txt";
constexpr int kOkButtonId = IDOK;
constexpr int kClientWidth = 440;
constexpr int kClientHeight = 160;

std::string OwnPath() {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length);
}

std::string FolderOf(const std::string& path) {
    std::string::size_type slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The marker: one line that says what ran, from where, and how big it was.
bool WriteMarker(const std::string& ownPath) {
    std::string text = "Corvanta 3 demo setup started from " + ownPath + " (" +
                       std::to_string(FileSize(ownPath)) + " bytes)\r\n";
    zel::ScopedFileHandle file(CreateFileA((FolderOf(ownPath) + kMarkerName).c_str(), GENERIC_WRITE,
                                           0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                           nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

// The heading's font lives as long as the window that uses it.
struct WindowFonts {
    zel::ScopedFont heading;
};

zel::ScopedFont CreateHeadingFont() {
    LOGFONTA description = {};
    description.lfHeight = -20;
    description.lfWeight = FW_BOLD;
    description.lfCharSet = ANSI_CHARSET;
    lstrcpynA(description.lfFaceName, "Tahoma", LF_FACESIZE);
    return zel::ScopedFont(CreateFontIndirectA(&description));
}

void AddChild(HWND parent, const char* className, const char* text, DWORD style, int id, RECT box,
              HFONT font) {
    HWND child = CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, box.left,
                                 box.top, box.right - box.left, box.bottom - box.top, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleA(nullptr), nullptr);
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void AddControls(HWND window, HFONT headingFont) {
    HFONT textFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    AddChild(window, "STATIC", "Corvanta 3 Setup", SS_LEFT, -1, {16, 14, kClientWidth - 16, 42},
             headingFont ? headingFont : textFont);
    AddChild(window, "STATIC",
             "The Corvanta 3 setup would start here.\n\nThis is the demo package: ZelDownloader "
             "fetched it from the private mirror, checked its SHA-1 digest and started it.",
             SS_LEFT, -1, {16, 50, kClientWidth - 16, 104}, textFont);
    AddChild(window, "BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, kOkButtonId,
             {kClientWidth - 96, kClientHeight - 38, kClientWidth - 16, kClientHeight - 12},
             textFont);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            auto* fonts =
                static_cast<WindowFonts*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
            AddControls(window, fonts->heading.Get());
            return 0;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == kOkButtonId) DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassA(&windowClass) != 0;
}

// A window of the given client size in the middle of the screen.
HWND CreateCentredWindow(HINSTANCE instance, WindowFonts& fonts) {
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    RECT frame = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRect(&frame, style, FALSE);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    return CreateWindowExA(0, kWindowClass, kWindowTitle, style, x, y, width, height, nullptr,
                           nullptr, instance, &fonts);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    WriteMarker(OwnPath());
    if (!RegisterWindowClass(instance)) return 1;
    WindowFonts fonts{CreateHeadingFont()};
    HWND window = CreateCentredWindow(instance, fonts);
    if (!window) return 1;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
