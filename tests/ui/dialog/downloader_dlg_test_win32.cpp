// The real main dialog, created in the test's process and driven through its
// own message filter, with a real session against a loopback server.
#include <windows.h>
// commctrl.h needs windows.h first: MinGW's copy does not include it.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "res/resource.h"
#include "session/session_texts.h"
#include "support/dialog_bench.h"
#include "support/session_bench.h"
#include "support/temp_folder.h"
#include "support/test_bytes.h"
#include "support/worker_hooks.h"
#include "sys/install_folder.h"
#include "sys/resource_strings.h"
#include "ui/dialog/downloader_dlg.h"

namespace zel {
namespace {

using test::BoxAnswerer;
using test::DialogBench;
using test::SessionBench;

using Box = std::array<long, 4>;  // x, y, width, height

Box Of(const RECT& rect) {
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

TEST(DownloaderDlgTest, ClientAreaAndControlsHaveTheirPixelPlaces) {
    DialogBench bench(SessionBench::FastTimings());
    ASSERT_TRUE(bench.CreateWithQuietSession());

    EXPECT_EQ(Of(bench.ClientRect()), (Box{0, 0, 641, 519}));
    EXPECT_EQ(Of(bench.ControlRect(kProgressBarId)), (Box{7, 459, 627, 18}));
    EXPECT_EQ(Of(bench.ControlRect(kStatusTextId)), (Box{7, 489, 307, 20}));
    EXPECT_EQ(Of(bench.ControlRect(kPauseButtonId)), (Box{471, 489, 75, 21}));
    EXPECT_EQ(Of(bench.ControlRect(kCancelButtonId)), (Box{556, 489, 75, 21}));
    HWND panel = bench.dialog->Panel().Window();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(GetParent(panel), bench.Window());
    EXPECT_TRUE(IsWindowVisible(panel));
    RECT panelRect{};
    GetWindowRect(panel, &panelRect);
    MapWindowPoints(nullptr, bench.Window(), reinterpret_cast<POINT*>(&panelRect), 2);
    EXPECT_EQ(Of(panelRect), (Box{0, 0, 641, 422})) << "the panel covers the top 422 pixels";

    char caption[64] = {};
    GetWindowTextA(bench.Window(), caption, sizeof caption);
    EXPECT_STREQ(caption, "Corvanta 3");
    EXPECT_EQ(bench.published, bench.Window());
    EXPECT_FALSE(IsWindowEnabled(bench.Control(kPauseButtonId))) << "no worker has started";
    EXPECT_FALSE(IsWindowVisible(bench.Control(kRestartButtonId)));
    EXPECT_FALSE(IsWindowEnabled(bench.Control(kRestartButtonId)));
    EXPECT_EQ(bench.Text(kStatusTextId), texts::kInternetError);

    HWND bar = bench.Control(kProgressBarId);
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, TRUE, 0), 0);
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 100);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);

    LOGFONTA font{};
    auto statusFont = HFONT(SendMessageA(bench.Control(kStatusTextId), WM_GETFONT, 0, 0));
    ASSERT_EQ(GetObjectA(statusFont, sizeof font, &font), int(sizeof font));
    EXPECT_STREQ(font.lfFaceName, "Tahoma");
    EXPECT_EQ(font.lfHeight, -11);
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
    EXPECT_EQ(font.lfQuality, CLEARTYPE_QUALITY);

    HDC dc = GetDC(bench.Window());
    for (UINT request : {WM_CTLCOLORDLG, WM_CTLCOLORSTATIC, WM_CTLCOLORBTN}) {
        EXPECT_EQ(HBRUSH(SendMessageA(bench.Window(), request, WPARAM(dc),
                                      LPARAM(bench.Control(kStatusTextId)))),
                  bench.resources.WhiteBrush())
            << "control-colour request " << request;
    }
    ReleaseDC(bench.Window(), dc);
}

TEST(DownloaderDlgTest, IconIsInTheNotificationAreaFromTheStartWithTheProgramsTip) {
    DialogBench bench(SessionBench::FastTimings());
    ASSERT_TRUE(bench.CreateWithQuietSession());

    const auto calls = bench.ShellCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().message, DWORD(NIM_ADD));
    EXPECT_TRUE(calls.back().accepted) << "Wine's notification area on Xvfb took it";
    EXPECT_STREQ(calls.back().record.szTip, "Corvanta 3");
    EXPECT_NE(calls.back().record.hIcon, nullptr) << "icon 128";
    EXPECT_TRUE(bench.dialog->TrayIcon().IsInTray());
    EXPECT_EQ(HICON(SendMessageA(bench.Window(), WM_GETICON, ICON_BIG, 0)),
              LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APP_ICON)));
}

TEST(DownloaderDlgTest, InitialisationWritesTheRegistryMarkers) {
    constexpr const char* kKey = "Software\\Quorvane\\ZEL3";
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
    DialogBench bench(SessionBench::FastTimings());
    ASSERT_TRUE(bench.CreateWithQuietSession());

    HKEY opened = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &opened), ERROR_SUCCESS);
    ScopedRegistryKey key(opened);
    for (const char* name : {"ZELBUILDFOR", "ZEL3CAM"}) {
        char value[64] = {};
        DWORD size = sizeof value;
        EXPECT_EQ(RegQueryValueExA(key.Get(), name, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(value), &size),
                  ERROR_SUCCESS);
        EXPECT_STREQ(value, "QUORVANE") << name;
    }
}

TEST(DownloaderDlgTest, CloseBoxHidesTheWindowWithTheBalloonAndAClickOnTheIconBringsItBack) {
    DialogBench bench(SessionBench::FastTimings());
    ASSERT_TRUE(bench.CreateWithQuietSession());
    HWND window = bench.Window();
    const std::size_t callsBefore = bench.ShellCalls().size();

    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(bench.dialog->IsHiddenInTray());
    EXPECT_FALSE(bench.dialog->HasEnded()) << "the close box never ends the program";
    EXPECT_TRUE(bench.dialog->TrayIcon().IsInTray()) << "the icon stays";
    const auto calls = bench.ShellCalls();
    ASSERT_EQ(calls.size(), callsBefore + 1);
    EXPECT_EQ(calls.back().message, DWORD(NIM_MODIFY));
    EXPECT_TRUE(calls.back().record.uFlags & NIF_INFO);
    EXPECT_STREQ(calls.back().record.szInfo, "Corvanta installation is in progress...");
    EXPECT_TRUE(calls.back().accepted);

    // The shell's callback for a left click on the icon.
    HWND iconWindow = bench.dialog->TrayIcon().Record().hWnd;
    SendMessageA(iconWindow, kNotifyIconCallbackMessage, IDR_TRAY_MENU, WM_LBUTTONUP);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(bench.dialog->IsHiddenInTray());
}

TEST(DownloaderDlgTest, RestoreInTheIconsMenuShowsAHiddenWindowAndLeavesAShownOneAlone) {
    DialogBench bench(SessionBench::FastTimings());
    ASSERT_TRUE(bench.CreateWithQuietSession());
    HWND window = bench.Window();

    SendMessageA(window, WM_COMMAND, ID_TRAY_RESTORE, 0);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_FALSE(bench.dialog->IsHiddenInTray());

    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_FALSE(IsWindowVisible(window));
    SendMessageA(window, WM_COMMAND, ID_TRAY_RESTORE, 0);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(bench.dialog->IsHiddenInTray());
}

TEST(DownloaderDlgTest, MinimiseGoesToTheTaskBarNotTheNotificationArea) {
    DialogBench bench(SessionBench::FastTimings());
    ASSERT_TRUE(bench.CreateWithQuietSession());
    HWND window = bench.Window();

    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(window));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(bench.dialog->IsHiddenInTray());
    SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(window));
}

// Keys as the dialog's loop takes them from the queue.
void PostKey(HWND target, UINT message, WPARAM key, LPARAM flags = 1) {
    PostMessageA(target, message, key, flags);
}

bool QueueIsEmpty() {
    MSG msg;
    return !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
}

TEST(DownloaderDlgTest, EscapeAltF4F5AndEnterDoNothingWhileTabMovesToPauseAndSpacePauses) {
    DialogBench bench(SessionBench::FastTimings());
    ASSERT_TRUE(bench.CreateWithQuietSession());
    // Were a key to reach Cancel, its question would be answered No here.
    bench.boxes.Answer(texts::kCancelQuestion, IDNO);
    bench.port->EnableButton(kPauseButtonId, true);
    HWND cancel = bench.Control(kCancelButtonId);
    HWND pause = bench.Control(kPauseButtonId);
    SetFocus(cancel);
    ASSERT_EQ(GetFocus(), cancel);

    constexpr LPARAM kAltDown = 1 | (1 << 29);
    PostKey(cancel, WM_KEYDOWN, VK_ESCAPE);
    PostKey(cancel, WM_KEYDOWN, VK_RETURN);
    PostKey(cancel, WM_KEYDOWN, VK_F5);
    PostKey(cancel, WM_SYSKEYDOWN, VK_F4, kAltDown);
    PostKey(cancel, WM_SYSKEYUP, VK_F4, kAltDown);
    ASSERT_TRUE(bench.PumpUntil(QueueIsEmpty));
    EXPECT_TRUE(bench.boxes.Answered().empty()) << "no key asked the cancel question";
    EXPECT_FALSE(bench.dialog->HasEnded());
    EXPECT_TRUE(IsWindowVisible(bench.Window())) << "Alt+F4 did not hide or close it";
    EXPECT_FALSE(bench.dialog->IsHiddenInTray());
    EXPECT_EQ(GetFocus(), cancel);

    PostKey(cancel, WM_KEYDOWN, VK_TAB);
    ASSERT_TRUE(bench.PumpUntil(QueueIsEmpty));
    EXPECT_EQ(GetFocus(), pause) << "Tab moved from Cancel to Pause";
    PostKey(pause, WM_KEYDOWN, VK_SPACE);
    PostKey(pause, WM_KEYUP, VK_SPACE, LPARAM(1) | (LPARAM(3) << 30));
    EXPECT_TRUE(bench.PumpUntil([&] { return bench.Text(kPauseButtonId) == texts::kPausing; }))
        << "Space pressed Pause";
    EXPECT_TRUE(bench.session->IsPaused());
    EXPECT_TRUE(bench.boxes.Answered().empty());
}

TEST(DownloaderDlgTest, CancelQuestionIsModalToTheDialogAndNoKeepsItYesEndsIt) {
    DialogBench bench(SessionBench::FastTimings());
    ASSERT_TRUE(bench.CreateWithQuietSession());

    bench.boxes.Answer(texts::kCancelQuestion, IDNO);
    bench.Click(kCancelButtonId);
    ASSERT_TRUE(bench.PumpUntil([&] { return !bench.boxes.Answered().empty(); }));
    const BoxAnswerer::Box box = bench.boxes.Answered().front();
    EXPECT_EQ(box.caption, "Corvanta 3");
    EXPECT_EQ(box.owner, bench.Window());
    EXPECT_EQ(box.thread, GetCurrentThreadId());
    bench.PumpUntil([] { return false; }, 50);
    EXPECT_FALSE(bench.dialog->HasEnded());

    bench.boxes.Answer(texts::kCancelQuestion, IDYES);
    bench.Click(kCancelButtonId);
    EXPECT_TRUE(bench.PumpUntil([&] { return bench.dialog->HasEnded(); }));
}

TEST(DownloaderDlgTest, BoxAskedOnAnotherThreadBlocksOnlyThatThread) {
    DialogBench bench(SessionBench::FastTimings());
    ASSERT_TRUE(bench.CreateWithQuietSession());
    const std::string question = "Is the window still answering?";

    std::atomic<int> answer{0};
    std::thread asker([&] { answer = bench.port->ShowMessageBox(question, kMbYesNo); });
    ASSERT_TRUE(bench.boxes.AwaitShowing(question));
    // While the other thread's box is up, the dialog goes on applying
    // changes that a third thread asks for.
    std::thread([&] { bench.port->SetProgressPosition(42); }).join();
    EXPECT_TRUE(bench.PumpUntil(
        [&] { return SendMessageA(bench.Control(kProgressBarId), PBM_GETPOS, 0, 0) == 42; }));
    for (const BoxAnswerer::Box& box : bench.boxes.Showing()) {
        if (box.text != question) continue;
        EXPECT_EQ(box.caption, "Corvanta 3");
        EXPECT_EQ(box.owner, nullptr) << "owned by the dialog it would disable it from afar";
        EXPECT_NE(box.thread, GetCurrentThreadId());
    }
    bench.boxes.Answer(question, IDYES);
    asker.join();
    EXPECT_EQ(answer, IDYES);
}

// The dialog's thread waits for worker threads, without pumping, while they
// change the status line and the buttons: none of them may wait for it.
TEST(DownloaderDlgTest, WorkersChangingTheControlsNeverWaitForTheDialogsThread) {
    DialogBench bench(SessionBench::FastTimings());
    ASSERT_TRUE(bench.CreateWithQuietSession());
    constexpr int kWorkers = 4;
    constexpr int kChanges = 300;

    std::mutex mutex;
    std::condition_variable allDone;
    int done = 0;
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&, w] {
            for (int i = 0; i < kChanges; ++i) {
                bench.port->SetStatusLine("worker " + std::to_string(w) + " step " +
                                          std::to_string(i));
                bench.port->EnableButton(kPauseButtonId, i % 2 == 0);
                bench.port->SetButtonText(kPauseButtonId, std::to_string(i));
            }
            std::lock_guard<std::mutex> lock(mutex);
            ++done;
            allDone.notify_one();
        });
    }
    bool finished = false;
    {
        std::unique_lock<std::mutex> lock(mutex);
        finished =
            allDone.wait_for(lock, std::chrono::seconds(60), [&] { return done == kWorkers; });
    }
    if (!finished) bench.PumpUntil([&] { return done == kWorkers; }, 60000);  // to join them
    for (auto& worker : workers) worker.join();
    EXPECT_TRUE(finished) << "a worker waited for the dialog's thread";

    std::thread([&] { bench.port->SetStatusLine("All workers done."); }).join();
    EXPECT_TRUE(bench.PumpUntil([&] { return bench.Text(kStatusTextId) == "All workers done."; }));
    EXPECT_EQ(bench.Text(kPauseButtonId), std::to_string(kChanges - 1));
    EXPECT_FALSE(IsWindowEnabled(bench.Control(kPauseButtonId)));
}

// Starts a download of size bytes and pauses it once it shows progress;
// false when either step did not come.
bool DownloadThenPause(DialogBench& bench, std::int32_t size) {
    bench.ServePackage(PseudoRandomBytes(size));
    return bench.Create() && bench.PumpUntil([&] {
        return bench.Text(kStatusTextId).rfind("Total Progress Percentage:: ", 0) == 0 &&
               IsWindowEnabled(bench.Control(kPauseButtonId));
    }) && (bench.Click(kPauseButtonId), bench.PumpUntil([&] {
               return bench.Text(kPauseButtonId) == texts::kResume &&
                      bench.Text(kStatusTextId) == texts::kPausedStatus;
           }));
}

// The same with the real workers of a download: the Pause button makes the
// dialog's thread wait for them while they write and report.
TEST(DownloaderDlgTest, PauseWaitsForTheRealWorkersAndCancelWhilePausedEndsAtOnce) {
    DialogBench bench(SessionBench::SlowWrites(20));
    ASSERT_TRUE(DownloadThenPause(bench, 4 * 1024 * 1024));
    EXPECT_TRUE(IsWindowEnabled(bench.Control(kPauseButtonId)));
    EXPECT_EQ(GetPathKind(bench.StateFile()), kPathFile) << "the workers left their ranges";

    bench.boxes.Answer(texts::kCancelQuestion, IDYES);
    bench.Click(kCancelButtonId);
    EXPECT_TRUE(bench.PumpUntil([&] { return bench.dialog->HasEnded(); }));
    EXPECT_EQ(GetPathKind(bench.StateFile()), kPathFile) << "kept for the next run";
}

// The dialog manager's own messages share the numbers just above WM_USER;
// the dialog receives them from the system and must not take them for the
// engine's progress or for the end of a run: here, while paused, neither
// the progress nor the paused state may change, and nothing is fetched.
TEST(DownloaderDlgTest, DialogManagerMessagesAreNotTakenForTheDownloadsReports) {
    DialogBench bench(SessionBench::SlowWrites(20));
    ASSERT_TRUE(DownloadThenPause(bench, 2 * 1024 * 1024));
    const LRESULT position = SendMessageA(bench.Control(kProgressBarId), PBM_GETPOS, 0, 0);
    const std::size_t requests = bench.server.RequestCount();

    SendMessageA(bench.Window(), DM_SETDEFID, kCancelButtonId, 0);  // WM_USER + 1
    SendMessageA(bench.Window(), DM_REPOSITION, 0, 0);              // WM_USER + 2
    bench.PumpUntil([] { return false; }, 1500);

    EXPECT_EQ(bench.Text(kStatusTextId), texts::kPausedStatus);
    EXPECT_EQ(bench.Text(kPauseButtonId), texts::kResume);
    EXPECT_EQ(SendMessageA(bench.Control(kProgressBarId), PBM_GETPOS, 0, 0), position);
    EXPECT_EQ(bench.server.RequestCount(), requests) << "nothing fetched while paused";
    EXPECT_TRUE(bench.boxes.Answered().empty());
    bench.boxes.Answer(texts::kCancelQuestion, IDYES);
    bench.Click(kCancelButtonId);
    EXPECT_TRUE(bench.PumpUntil([&] { return bench.dialog->HasEnded(); }));
}

// The confirmed Cancel ends the dialog while the controller thread still
// asks whether to wait for the connection: that question goes with it.
TEST(DownloaderDlgTest, EndingWhileTheControllerAsksTakesItsQuestionAway) {
    DialogBench bench(SessionBench::FastTimings());
    ASSERT_TRUE(bench.CreateWithQuietSession());

    bench.boxes.Answer(texts::kCancelQuestion, IDYES);
    bench.Click(kCancelButtonId);
    ASSERT_TRUE(bench.PumpUntil([&] { return bench.dialog->HasEnded(); }));
    bench.dialog.reset();  // joins the controller thread: must not hang
    bench.session = nullptr;
    EXPECT_TRUE(bench.PumpUntil([&] { return bench.boxes.Showing().empty(); }, 20000));
}

// No to the question whether to wait for the connection ends the program
// the way every other end does: through the dialog, whose icon goes from
// the notification area, with exit code 0.
TEST(DownloaderDlgTest, NoToTheOfflineQuestionEndsThroughTheDialogAndRemovesTheIcon) {
    DialogBench bench(SessionBench::FastTimings());
    bench.connection.SetOnline(false);
    bench.boxes.Answer(texts::kInternetErrorRetryQuestion, IDNO);
    bench.boxes.Answer("Download failed due to Internet Error!", IDOK);
    bench.Make();

    EXPECT_EQ(bench.dialog->DoModal(), IDOK);
    EXPECT_EQ(bench.dialog->ExitCode(), 0);
    EXPECT_EQ(bench.boxes.Answered().size(), 2u);
    bench.dialog.reset();
    const auto calls = bench.ShellCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().message, DWORD(NIM_DELETE)) << "no icon left behind";
    EXPECT_TRUE(calls.back().accepted);
}

// The finished report does not travel through the dialog's queue: a queue
// flooded with messages does not lose it, and the download ends launched.
TEST(DownloaderDlgTest, FinishedReportArrivesWhileTheDialogsQueueIsFlooded) {
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string program = ReadWholeFile(std::string(system) + "\\hostname.exe");
    ASSERT_FALSE(program.empty());
    DialogBench bench(SessionBench::FastTimings());
    bench.ServePackage(program);
    ASSERT_TRUE(bench.Create());
    // Flooded before the download ends, until the queue refuses more.
    for (int i = 0; i < 20000 && PostMessageA(bench.Window(), WM_NULL, 0, 0); ++i) {
    }
    EXPECT_TRUE(bench.PumpUntil([&] { return bench.dialog->HasEnded(); }, 60000));
    bench.dialog->Destroy();
    const std::string package = bench.PackageFile();
    EXPECT_TRUE(test::WaitUntil([&] { return DeleteFileA(package.c_str()) != 0; }))
        << "the launched package ends and lets go of its file";
}

TEST(DownloaderDlgTest, DialogWithoutASessionSaysSoAndEnds) {
    DialogBench bench(SessionBench::FastTimings());
    const std::string text = LoadResourceString(IDS_NO_SESSION);
    ASSERT_FALSE(text.empty());
    bench.boxes.Answer(text, IDOK);
    bench.Make([](DialogPort&) -> std::unique_ptr<DownloadSession> { throw std::bad_alloc(); });

    EXPECT_EQ(bench.dialog->DoModal(), IDCANCEL);
    ASSERT_EQ(bench.boxes.Answered().size(), 1u);
    EXPECT_EQ(bench.boxes.Answered().front().caption, "Corvanta 3");
    EXPECT_EQ(bench.session, nullptr);
    EXPECT_EQ(bench.server.RequestCount(), 0u) << "no session was started";
}

// A package found complete is launched by timer 1001, which the controller
// thread asks for and the dialog's thread sets; then the dialog closes.
TEST(DownloaderDlgTest, CompletePackageIsLaunchedByTheLaunchTimerAndTheDialogCloses) {
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string program = ReadWholeFile(std::string(system) + "\\hostname.exe");
    ASSERT_FALSE(program.empty());
    DialogBench bench(SessionBench::FastTimings());
    bench.ServePackage(program);
    std::string folder;
    ASSERT_TRUE(GetInstallFolder(folder, std::string()));
    ASSERT_TRUE(WriteWholeFile(folder + "setup.exe", program));
    bench.Make();

    EXPECT_EQ(bench.dialog->DoModal(), IDOK);
    for (const auto& request : bench.server.Requests()) {
        EXPECT_FALSE(request.method == "GET" && request.path == DialogBench::kPackagePath)
            << "nothing is downloaded";
    }
    EXPECT_TRUE(bench.boxes.Answered().empty());
    // The launched copy keeps its file until it has ended; later tests need
    // the install folder free.
    EXPECT_TRUE(test::WaitUntil([&] { return DeleteFileA((folder + "setup.exe").c_str()) != 0; }))
        << "the launched package ends and lets go of its file";
}

}  // namespace
}  // namespace zel
