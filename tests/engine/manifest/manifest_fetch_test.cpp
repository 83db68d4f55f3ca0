#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "engine/download_engine.h"
#include "support/engine_access.h"
#include "support/fixture_server.h"
#include "support/recording_engine_dialog.h"

namespace zel {

using test::EngineAccess;

namespace {

using test::FixtureServer;
using test::RecordingEngineDialog;

std::string ManifestNaming(const std::string& url, const std::string& extra = "") {
    return "<?xml version=\"1.0\"?>\n<zel3>\n"
           "  <alternate_url_count>1</alternate_url_count>\n"
           "  <alternate_setupurl>" +
           url +
           "</alternate_setupurl>\n"
           "  <flag>\"0123456789ABCDEF0123456789ABCDEF01234567\"</flag>\n"
           "  <size>1000</size>\n" +
           extra + "</zel3>\n";
}

class ManifestFetchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.Listening());
        ASSERT_TRUE(engine.OpenInternetSession());
    }

    // Fills the record with values that a failed fetch must leave alone.
    void FillRecord() {
        SetupManifest edited = engine.Manifest();
        edited.setupUrl = "http://old.example/old.exe";
        edited.saveFileName = "old.exe";
        edited.setupHash = "OLD";
        ASSERT_TRUE(engine.SetManifest(edited));
    }
    void ExpectRecordUntouched() {
        EXPECT_EQ(engine.Manifest().setupUrl, "http://old.example/old.exe");
        EXPECT_EQ(engine.Manifest().saveFileName, "old.exe");
        EXPECT_EQ(engine.Manifest().setupHash, "OLD");
    }

    FixtureServer server;
    RecordingEngineDialog dialog;
    DownloadEngine engine{dialog, Timings::Instant()};
};

TEST_F(ManifestFetchTest, FetchesByHeadThenGetAndFillsTheRecord) {
    server.Serve("/zelv3.xml", ManifestNaming("http://cdn.example/files/CorvantaSetup.exe"));
    ASSERT_TRUE(engine.FetchManifest(server.Url("/zelv3.xml")));
    EXPECT_EQ(engine.Manifest().setupUrl, "http://cdn.example/files/CorvantaSetup.exe");
    EXPECT_EQ(engine.Manifest().saveFileName, "CorvantaSetup.exe");
    EXPECT_EQ(engine.Manifest().setupHash, "0123456789ABCDEF0123456789ABCDEF01234567");
    EXPECT_EQ(engine.Manifest().sizeText, "1000");
    auto statuses = dialog.StatusTexts();
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_EQ(statuses[0], "Collecting ZEL v3 Setup Info");
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "HEAD");
    EXPECT_EQ(requests[1].method, "GET");
    EXPECT_EQ(requests[1].userAgent, "ZEL Downloader");
}

TEST_F(ManifestFetchTest, FailedSizeOrTransferLeavesTheRecordAlone) {
    FixtureServer::Faults noLength;
    noLength.noContentLength = true;
    server.Serve("/nolength.xml", ManifestNaming("http://h/a.exe"), noLength);
    FixtureServer::Faults cut;
    cut.cutBodyAt = 20;
    server.Serve("/cut.xml", ManifestNaming("http://h/a.exe"), cut);
    FillRecord();
    EXPECT_FALSE(engine.FetchManifest(server.Url("/missing.xml")));
    EXPECT_FALSE(engine.FetchManifest(server.Url("/nolength.xml")));
    EXPECT_FALSE(engine.FetchManifest(server.Url("/cut.xml")));
    ExpectRecordUntouched();
}

TEST_F(ManifestFetchTest, WithoutASessionNothingIsAsked) {
    server.Serve("/zelv3.xml", ManifestNaming("http://h/a.exe"));
    engine.CloseInternetSession();
    FillRecord();
    EXPECT_FALSE(engine.FetchManifest(server.Url("/zelv3.xml")));
    ExpectRecordUntouched();
    EXPECT_EQ(server.RequestCount(), 0u);
}

// A hostile server cannot make the program allocate or download gigabytes.
TEST_F(ManifestFetchTest, ManifestsAbove1MiBAreRefusedBeforeTheDownload) {
    std::string big = ManifestNaming("http://h/a.exe");
    big.resize(1024 * 1024 + 1, ' ');
    server.Serve("/big.xml", big);
    FixtureServer::Faults huge;
    huge.contentLength = "2000000000";
    server.Serve("/huge.xml", ManifestNaming("http://h/a.exe"), huge);
    FillRecord();
    EXPECT_FALSE(engine.FetchManifest(server.Url("/big.xml")));
    EXPECT_FALSE(engine.FetchManifest(server.Url("/huge.xml")));
    ExpectRecordUntouched();
    for (const auto& request : server.Requests()) EXPECT_EQ(request.method, "HEAD");

    std::string limit = ManifestNaming("http://h/limit.exe");
    limit.resize(1024 * 1024, ' ');
    server.Serve("/limit.xml", limit);
    EXPECT_TRUE(engine.FetchManifest(server.Url("/limit.xml")));
    EXPECT_EQ(engine.Manifest().setupUrl, "http://h/limit.exe");
}

TEST_F(ManifestFetchTest, ManifestWithoutUsableUrlIsAFailure) {
    server.Serve("/empty.xml", "");
    server.Serve("/noturl.xml",
                 "<zel3><size>5</size><alternate_setupurl> </alternate_setupurl></zel3>");
    server.Serve("/broken.xml", "<zel3><alternate_setupurl>http://h/a.exe</alternate_setupurl>");
    server.Serve("/text.xml", "http://h/a.exe");
    for (const char* path : {"/empty.xml", "/noturl.xml", "/broken.xml", "/text.xml"}) {
        EXPECT_FALSE(engine.FetchManifest(server.Url(path))) << path;
        EXPECT_EQ(engine.Manifest().setupUrl, "") << path;
    }
}

// The file name decides where the package is written: it must stay a plain
// name inside the install folder.
TEST_F(ManifestFetchTest, UnsafeFileNamesMakeTheManifestUnusable) {
    const std::string cases[] = {
        ManifestNaming("http://h/a.exe",
                       "<save_file_name>..\\..\\Windows\\evil.exe</save_file_name>"),
        ManifestNaming("http://h/a.exe", "<save_file_name>C:evil.exe</save_file_name>"),
        ManifestNaming("http://h/a.exe", "<save_file_name>NUL.exe</save_file_name>"),
        ManifestNaming("http://h/dir/"),
        ManifestNaming("http://h/get?file=a.exe"),
        ManifestNaming("http://h/..%5Cevil.exe", "<save_file_name>..</save_file_name>"),
        // The resume file's own name, in any case, with what Windows trims
        // off, or as Windows shortens it, would make package and resume file
        // one file.
        ManifestNaming("http://h/zelv3chunks.txt"),
        ManifestNaming("http://h/a.exe", "<save_file_name>ZelV3Chunks.TXT</save_file_name>"),
        ManifestNaming("http://h/a.exe", "<save_file_name>zelv3chunks.txt. .</save_file_name>"),
        ManifestNaming("http://h/a.exe", "<save_file_name>zelv3c~1.txt</save_file_name>"),
        // Nor may the package be the file a new resume file is written to
        // before it is moved over the old one.
        ManifestNaming("http://h/zelv3chunks.txt.new"),
        ManifestNaming("http://h/a.exe", "<save_file_name>ZELV3C~2.NEW</save_file_name>"),
    };
    for (const std::string& text : cases) {
        server.Serve("/zelv3.xml", text);
        EXPECT_FALSE(engine.FetchManifest(server.Url("/zelv3.xml"))) << text;
        EXPECT_EQ(engine.Manifest().saveFileName, "") << text;
    }
}

// Connectivity as the system reports it, switched by the tests.
struct Connectivity {
    static inline std::atomic<bool> online{true};
    static inline std::atomic<int> checks{0};
    static inline std::atomic<int> backAfterChecks{-1};  // goes online at that check

    static WinBool ZEL_WINAPI Report(Dword* flags, Dword) {
        int check = ++checks;
        if (backAfterChecks >= 0 && check >= backAfterChecks) online = true;
        *flags = online ? inet::kConnectionLan : 0;
        return online ? 1 : 0;
    }
    static void Reset(bool isOnline) {
        online = isOnline;
        checks = 0;
        backAfterChecks = -1;
    }
    static void Bind(WinInetApi& api) {
        BindWinInet(api);
        api.InternetGetConnectedState = &Report;
    }
};

class EnsureInternetSessionTest : public ::testing::Test {
  protected:
    RecordingEngineDialog dialog;
    RecordingEngineDialog window;
    DownloadEngine engine{dialog, Timings::Instant(), &Connectivity::Bind};
};

TEST_F(EnsureInternetSessionTest, OnlineOpensTheSession) {
    Connectivity::Reset(true);
    EXPECT_TRUE(engine.EnsureInternetSession(window));
    EXPECT_NE(EngineAccess::InternetSession(engine), nullptr);
    EXPECT_EQ(EngineAccess::NotifyWindow(engine), &window);
    EXPECT_TRUE(dialog.ConnectionPrompts().empty());
}

TEST_F(EnsureInternetSessionTest, UnboundConnectivityCountsAsOnline) {
    DownloadEngine unbound(dialog, Timings::Instant(), [](WinInetApi& api) {
        BindWinInet(api);
        api.InternetGetConnectedState = nullptr;
    });
    EXPECT_TRUE(unbound.EnsureInternetSession(window));
    EXPECT_NE(EngineAccess::InternetSession(unbound), nullptr);
}

TEST_F(EnsureInternetSessionTest, BackAtTheSecondLookIsTrueWithoutASession) {
    Connectivity::Reset(false);
    Connectivity::backAfterChecks = 2;
    EXPECT_TRUE(engine.EnsureInternetSession(window));
    EXPECT_EQ(EngineAccess::InternetSession(engine), nullptr);
    EXPECT_TRUE(dialog.ConnectionPrompts().empty());
    EXPECT_TRUE(dialog.StatusTexts().empty());
}

TEST_F(EnsureInternetSessionTest, OfflineAsksAndWaitsUntilTheConnectionIsBack) {
    Connectivity::Reset(false);
    dialog.OnWaitForConnection([] { Connectivity::online = true; });
    dialog.ScriptConnectionAnswers({kIdYes});
    EXPECT_TRUE(engine.EnsureInternetSession(window));
    EXPECT_EQ(dialog.StatusTexts(), std::vector<std::string>{"Internet Error."});
    EXPECT_EQ(dialog.ConnectionPrompts(),
              std::vector<std::string>{
                  "Internet Error. Click \"Yes\" to retry or click \"No\" to cancel."});
    EXPECT_TRUE(dialog.MessageBoxes().empty());
    // The session opens on the controller's next pass, not here.
    EXPECT_EQ(EngineAccess::InternetSession(engine), nullptr);
    EXPECT_TRUE(engine.EnsureInternetSession(window));
    EXPECT_NE(EngineAccess::InternetSession(engine), nullptr);
}

TEST_F(EnsureInternetSessionTest, OfflineAndTheUserDeclinesGivesUp) {
    Connectivity::Reset(false);
    dialog.ScriptConnectionAnswers({kIdNo});
    EXPECT_FALSE(engine.EnsureInternetSession(window));
    auto boxes = dialog.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Download failed due to Internet Error!");
    EXPECT_EQ(boxes[0].flags, kMbOk);
    EXPECT_EQ(EngineAccess::InternetSession(engine), nullptr);
}

}  // namespace
}  // namespace zel
