// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on

#include <atomic>
#include <chrono>
#include <exception>
#include <memory>
#include <thread>

#include "sys/manual_reset_event.h"
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

bool HtmlEngineAvailable(unsigned waitMs) {
    // The probe may hang (some Wine builds offer to download their engine at
    // this point), so it runs on a thread of its own that may outlive the
    // wait; the shared answer keeps what it writes to alive.
    struct Answer {
        ManualResetEvent given;
        std::atomic<bool> available{false};
    };
    auto answer = std::make_shared<Answer>();
    try {
        std::thread([answer] {
            answer->available = CreateHtmlDocumentOnThisThread();
            answer->given.Set();
        }).detach();
    } catch (const std::exception&) {
        // No thread (std::system_error, or what the program's library raises
        // in its place): no engine to count on.
        return false;
    }
    return answer->given.WaitFor(std::chrono::milliseconds(waitMs)) && answer->available;
}

bool ProbeHtmlEngine(HWND window, unsigned message) {
    // Only the window's handle crosses over: a window gone by the time of
    // the answer makes the post fail, nothing more.
    try {
        std::thread([window, message] {
            const bool engine = CreateHtmlDocumentOnThisThread();
            PostMessageA(window, message, engine ? 1 : 0, 0);
        }).detach();
        return true;
    } catch (const std::exception&) {
        // std::system_error natively; the Windows program's own library
        // error functions raise a plain std::exception instead.
        return false;
    }
}

}  // namespace zel
