// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on

#include <exception>
#include <thread>
#include <utility>

#include "ui/panel/html_engine_probe.h"

namespace zel {

namespace {

// MinGW's libuuid lacks CLSID_HTMLDocument.
const CLSID kHtmlDocumentClassId = {
    0x25336920, 0x03F9, 0x11cf, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};

bool CreateHtmlDocumentOnThisThread() {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IUnknown* document = nullptr;
    const HRESULT created = CoCreateInstance(kHtmlDocumentClassId, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_IUnknown, reinterpret_cast<void**>(&document));
    if (SUCCEEDED(created) && document) document->Release();
    if (SUCCEEDED(init)) CoUninitialize();
    return SUCCEEDED(created) && document;
}

}  // namespace

bool ProbeHtmlEngine(std::function<void(bool engine)> answer) {
    try {
        std::thread([answer = std::move(answer)] {
            answer(CreateHtmlDocumentOnThisThread());
        }).detach();
        return true;
    } catch (const std::exception&) {
        // No thread: std::system_error natively; the Windows program's own
        // library error functions raise a plain std::exception instead.
        return false;
    }
}

bool ProbeHtmlEngine(HWND window, unsigned message) {
    // Only the window's handle crosses over: a window gone by the time of
    // the answer makes the post fail, nothing more.
    return ProbeHtmlEngine(
        [window, message](bool engine) { PostMessageA(window, message, engine ? 1 : 0, 0); });
}

}  // namespace zel
