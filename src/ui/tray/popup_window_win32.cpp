#include "ui/tray/popup_window.h"

namespace zel {

namespace {

constexpr char kWindowClassName[] = "ZelPopupWindow";

// The class is registered on first use and stays for the life of the
// process; a second registration reports that it exists, which is fine.
bool RegisterPopupClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClassName;
    return RegisterClassExA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

PopupWindow::~PopupWindow() {
    Destroy();
}

bool PopupWindow::Create(int x, int y, int width, int height) {
    if (window_) return true;
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!RegisterPopupClass(instance, &PopupWindow::WindowProcedure)) return false;
    window_.Reset(CreateWindowExA(0, kWindowClassName, "", WS_POPUP, x, y, width, height, nullptr,
                                  nullptr, instance, this));
    return window_.IsValid();
}

void PopupWindow::Destroy() {
    // The object may be half gone (a base destructor): its messages from here
    // on get the system's handling only.
    if (window_) SetWindowLongPtrA(window_.Get(), GWLP_USERDATA, 0);
    window_.Reset();
}

LRESULT PopupWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window_.Get(), message, wParam, lParam);
}

LRESULT CALLBACK PopupWindow::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<PopupWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    // Until CreateWindowExA returns, the object does not know its handle yet.
    if (!self || self->window_.Get() != window) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return self->HandleMessage(message, wParam, lParam);
}

}  // namespace zel
