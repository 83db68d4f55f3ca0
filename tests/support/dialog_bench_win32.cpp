#include <chrono>

#include "session/session_controller.h"
#include "session/session_texts.h"
#include "support/dialog_bench.h"
#include "support/manifest_text.h"
#include "support/test_bytes.h"

namespace zel::test {

DialogBench::DialogBench(const Timings& timings) : timings_(timings) {}

DialogBench::~DialogBench() {
    // The session stops its threads and workers while the server, the
    // folder and the watcher are still there.
    dialog.reset();
}

void DialogBench::ServePackage(const std::string& bytes) {
    server.Serve(kPackagePath, bytes);
    server.Serve(kManifestPath,
                 OneUrlManifest(server.Url(kPackagePath), DigestOf(bytes), bytes.size()));
}

void DialogBench::Make(const SessionFactory& makeSession) {
    SessionFactory factory = [&](DialogPort& dialogPort) -> std::unique_ptr<DownloadSession> {
        port = &dialogPort;
        if (makeSession) return makeSession(dialogPort);
        auto made = std::make_unique<SessionController>(
            dialogPort, timings_, server.Url(kManifestPath), connection.Binder());
        session = made.get();
        return made;
    };
    dialog = std::make_unique<CDownloaderDlg>(
        resources, [this](HWND window) { published = window; }, factory,
        [this](DWORD message, const NOTIFYICONDATAA& record) {
            const bool accepted = CallShellNotifyIcon(message, record);
            std::lock_guard<std::mutex> lock(shellMutex_);
            shellCalls_.push_back({message, record, accepted});
            return accepted;
        });
}

bool DialogBench::Create(const SessionFactory& makeSession) {
    Make(makeSession);
    return dialog->Create();
}

bool DialogBench::CreateWithQuietSession() {
    connection.SetOnline(false);
    return Create() && boxes.AwaitShowing(texts::kInternetErrorRetryQuestion) &&
           PumpUntil([this] { return Text(kStatusTextId) == texts::kInternetError; });
}

bool DialogBench::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        MSG msg;
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            continue;
        }
        if (dialog) {
            dialog->ProcessMessage(msg);
        } else {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return true;
}

std::vector<DialogBench::ShellCall> DialogBench::ShellCalls() const {
    std::lock_guard<std::mutex> lock(shellMutex_);
    return shellCalls_;
}

void DialogBench::Click(int controlId) {
    PostMessageA(Control(controlId), BM_CLICK, 0, 0);
}

std::string DialogBench::Text(int id) const {
    char text[512] = {};
    GetWindowTextA(Control(id), text, sizeof text);
    return text;
}

RECT DialogBench::ControlRect(int id) const {
    RECT rect{};
    GetWindowRect(Control(id), &rect);
    MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT DialogBench::ClientRect() const {
    RECT rect{};
    GetClientRect(Window(), &rect);
    return rect;
}

std::string DialogBench::InstallFolder() const {
    return session ? session->Engine().InstallFolder() : std::string();
}

}  // namespace zel::test
