#include "engine/download_engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "engine/transport/internet_access.h"
#include "support/engine_access.h"
#include "support/recording_engine_dialog.h"
#include "sys/last_error.h"

namespace zel {

using test::EngineAccess;

namespace {

using test::RecordingEngineDialog;

// Counts what the engine asks of the library, then lets the library do it.
struct LibraryCounter {
    static inline std::atomic<int> opens{0};
    static inline std::atomic<int> closes{0};
    static inline std::atomic<int> connectedStateSets{0};
    static inline std::atomic<InternetHandle> lastClosed{nullptr};
    static inline WinInetApi real;

    static void Reset() {
        opens = 0;
        closes = 0;
        connectedStateSets = 0;
        lastClosed = nullptr;
    }
    static InternetHandle ZEL_WINAPI Open(const char* agent, Dword access, const char* proxy,
                                          const char* bypass, Dword flags) {
        ++opens;
        return real.InternetOpenA(agent, access, proxy, bypass, flags);
    }
    static WinBool ZEL_WINAPI Close(InternetHandle handle) {
        ++closes;
        lastClosed = handle;
        return real.InternetCloseHandle(handle);
    }
    static WinBool ZEL_WINAPI SetOption(InternetHandle handle, Dword option, void* buffer,
                                        Dword length) {
        if (!handle && option == inet::kOptionConnectedState && length == sizeof(ConnectedInfo)) {
            ConnectedInfo info;
            std::memcpy(&info, buffer, sizeof info);
            if (info.connectedState == inet::kStateConnected && info.flags == 0)
                ++connectedStateSets;
        }
        return real.InternetSetOptionA(handle, option, buffer, length);
    }
    static void Bind(WinInetApi& api) {
        BindWinInet(api);
        real.InternetOpenA = api.InternetOpenA;
        real.InternetCloseHandle = api.InternetCloseHandle;
        real.InternetSetOptionA = api.InternetSetOptionA;
        api.InternetOpenA = &Open;
        api.InternetCloseHandle = &Close;
        api.InternetSetOptionA = &SetOption;
    }
};

InternetHandle ZEL_WINAPI RefuseToOpen(const char*, Dword, const char*, const char*, Dword) {
    SetLastSystemError(inet::kErrorInternetCannotConnect);
    return nullptr;
}

TEST(DownloadEngineTest, NewEngineIsIdle) {
    RecordingEngineDialog dialog;
    DownloadEngine engine(dialog, Timings::Instant());
    EXPECT_EQ(engine.LastUserCommand(), CommandNone);
    EXPECT_TRUE(EngineAccess::SegmentCount(engine) == 0);
    EXPECT_TRUE(EngineAccess::ErrorList(engine).empty());
    EXPECT_FALSE(engine.IsStopRequested());
    EXPECT_EQ(engine.Manifest().threadCount, 2);
    EXPECT_EQ(engine.Manifest().totalSize, 0);
    EXPECT_TRUE(engine.Manifest().setupUrl.empty());
    EXPECT_EQ(EngineAccess::InternetSession(engine), nullptr);
    EXPECT_EQ(EngineAccess::NotifyWindow(engine), nullptr);
    EXPECT_EQ(engine.RunningWorkers(), 0);
    EXPECT_EQ(engine.TotalWritten(), 0);
    EXPECT_EQ(std::string(DownloadEngine::kStateFileName), "zelv3chunks.txt");
    EXPECT_NE(EngineAccess::InternetApi(engine).InternetOpenA, nullptr);
}

TEST(DownloadEngineTest, SecondOpenOnlyPutsTheLibraryOnline) {
    LibraryCounter::Reset();
    RecordingEngineDialog dialog;
    DownloadEngine engine(dialog, Timings::Instant(), &LibraryCounter::Bind);
    ASSERT_TRUE(engine.OpenInternetSession());
    InternetHandle first = EngineAccess::InternetSession(engine);
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(engine.OpenInternetSession());
    EXPECT_EQ(EngineAccess::InternetSession(engine), first);
    EXPECT_EQ(LibraryCounter::opens.load(), 1);
    EXPECT_EQ(LibraryCounter::connectedStateSets.load(), 2);
}

TEST(DownloadEngineTest, DestroyingTheEngineClosesItsOpenSession) {
    LibraryCounter::Reset();
    RecordingEngineDialog dialog;
    InternetHandle session = nullptr;
    {
        DownloadEngine engine(dialog, Timings::Instant(), &LibraryCounter::Bind);
        ASSERT_TRUE(engine.OpenInternetSession());
        session = EngineAccess::InternetSession(engine);
    }
    EXPECT_EQ(LibraryCounter::closes.load(), 1);
    EXPECT_EQ(LibraryCounter::lastClosed.load(), session);

    // Closed once by a finishing worker, then not again by the destructor.
    LibraryCounter::Reset();
    {
        DownloadEngine engine(dialog, Timings::Instant(), &LibraryCounter::Bind);
        ASSERT_TRUE(engine.OpenInternetSession());
        engine.CloseInternetSession();
        EXPECT_EQ(EngineAccess::InternetSession(engine), nullptr);
    }
    EXPECT_EQ(LibraryCounter::closes.load(), 1);
}

TEST(DownloadEngineTest, MissingLibraryFailsToOpenWithoutCallingAnything) {
    RecordingEngineDialog dialog;
    DownloadEngine engine(dialog, Timings::Instant(), [](WinInetApi&) {});
    EXPECT_FALSE(EngineAccess::InternetApi(engine).module.IsLoaded());
    EXPECT_FALSE(engine.OpenInternetSession());
    ASSERT_EQ(EngineAccess::ErrorList(engine).size(), 1u);
    EXPECT_EQ(EngineAccess::ErrorList(engine)[0].rfind("Error connecting to Internet.\n\n", 0), 0u);
    EXPECT_EQ(engine.QueryRemoteSize("http://127.0.0.1:9/x"), -1);
}

TEST(DownloadEngineTest, RefusedSessionRecordsTheLibrarysErrorText) {
    RecordingEngineDialog dialog;
    DownloadEngine engine(dialog, Timings::Instant(), [](WinInetApi& api) {
        BindWinInet(api);
        api.InternetOpenA = &RefuseToOpen;
    });
    EXPECT_FALSE(engine.OpenInternetSession());
    EXPECT_FALSE(engine.OpenInternetSession());
    ASSERT_EQ(EngineAccess::ErrorList(engine).size(), 2u);
    EXPECT_EQ(EngineAccess::ErrorList(engine)[0],
              "Error connecting to Internet.\n\n" +
                  FormatInternetError(EngineAccess::InternetApi(engine),
                                      inet::kErrorInternetCannotConnect));
    EXPECT_TRUE(dialog.MessageBoxes().empty());
}

TEST(DownloadEngineTest, MessagesGoToTheNotifyWindowOnceSet) {
    RecordingEngineDialog owner;
    RecordingEngineDialog window;
    DownloadEngine engine(owner, Timings::Instant());
    EngineAccess::PostToNotifyWindow(engine, WM_DOWNLOAD_PROGRESS, 10, 0);
    engine.SetNotifyWindow(&window);
    EngineAccess::PostToNotifyWindow(engine, WM_DOWNLOAD_FINISHED, 1, ResultStopped);
    EXPECT_TRUE(owner.Posted().empty());
    auto posted = window.Posted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, WM_DOWNLOAD_FINISHED);
    EXPECT_EQ(posted[0].wParam, 1u);
    EXPECT_EQ(posted[0].lParam, 2);
}
}  // namespace
}  // namespace zel
