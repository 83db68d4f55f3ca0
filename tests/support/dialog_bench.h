// The real main dialog in the test's own process, on the test's thread: a
// fixture HTTP server with the manifest and the package, the install folder
// in a data folder of the test's own, the switchable connection, the real
// process-wide resources and a watcher that answers message boxes. The test
// pumps the dialog's messages through the dialog's own filter, as its modal
// loop would. Windows only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/timings.h"
#include "session/session_controller.h"
#include "support/box_answerer.h"
#include "support/data_folder.h"
#include "support/fake_connection.h"
#include "support/fixture_server.h"
#include "ui/dialog/downloader_dlg.h"

namespace zel::test {

class DialogBench {
  public:
    static constexpr const char* kPackagePath = "/files/setup.exe";
    static constexpr const char* kManifestPath = "/zelv3.xml";

    // The program's own pacing unless told otherwise.
    explicit DialogBench(const Timings& timings = Timings());
    ~DialogBench();
    DialogBench(const DialogBench&) = delete;
    DialogBench& operator=(const DialogBench&) = delete;

    // Serves the package and the manifest naming it with its real digest.
    void ServePackage(const std::string& bytes);

    // Makes the dialog object with a session that reads the bench's manifest
    // (makeSession, when given, decides instead), without its window.
    void Make(const SessionFactory& makeSession = {});
    // Makes it and creates its window, which starts the first session.
    bool Create(const SessionFactory& makeSession = {});
    // Creates it with the machine offline: the session then sits in its
    // question whether to wait for the connection, and the status line
    // keeps "Internet Error.", so the test has the window to itself.
    bool CreateWithQuietSession();

    // Pumps the dialog's messages until done() holds (true) or the time is up.
    bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 30000);
    // Clicks a button as the mouse would, through the dialog's queue.
    void Click(int controlId);

    // The notification area's calls the dialog made, as the real shell
    // received them: (message, record, accepted).
    struct ShellCall {
        DWORD message;
        NOTIFYICONDATAA record;
        bool accepted;
    };
    std::vector<ShellCall> ShellCalls() const;

    HWND Window() const { return dialog ? dialog->Window() : nullptr; }
    HWND Control(int id) const { return GetDlgItem(Window(), id); }
    std::string Text(int id) const;
    // The control's rectangle in the dialog's client coordinates.
    RECT ControlRect(int id) const;
    RECT ClientRect() const;

    std::string InstallFolder() const;
    std::string PackageFile() const { return InstallFolder() + "setup.exe"; }
    std::string StateFile() const { return InstallFolder() + "zelv3chunks.txt"; }

    FixtureServer server;
    FakeConnection connection;
    ScopedDataFolder data;
    ProcessResources resources;
    BoxAnswerer boxes;
    DialogPort* port = nullptr;              // the dialog's, once created
    SessionController* session = nullptr;    // the dialog's, when the bench made it
    HWND published = nullptr;                // what the dialog announced
    std::unique_ptr<CDownloaderDlg> dialog;  // last: goes first

  private:
    Timings timings_;
    mutable std::mutex shellMutex_;
    std::vector<ShellCall> shellCalls_;
};

}  // namespace zel::test
