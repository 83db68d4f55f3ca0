// The internet layer against a real web server: nginx, started by
// scripts/test with tests/support/nginx-fixture. Skipped without it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/internet_access.h"
#include "engine/setup_manifest.h"
#include "engine/timings.h"

namespace zel {
namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

char PackageByte(std::size_t i) {
    return static_cast<char>((i * 31 + 7) % 251);
}

class NginxPeerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        port = Env("ZEL_NGINX_PORT");
        if (port.empty()) GTEST_SKIP() << "ZEL_NGINX_PORT is not set (scripts/test starts nginx)";
        packageSize = std::atoi(Env("ZEL_NGINX_PACKAGE_SIZE").c_str());
        ASSERT_GT(packageSize, 0);
        BindWinInet(api);
        session = ScopedInternetHandle(
            api,
            api.InternetOpenA("ZEL Downloader", inet::kOpenTypePreconfig, nullptr, nullptr, 0));
        ASSERT_TRUE(session);
    }

    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + port + path; }

    WinInetApi api;
    ScopedInternetHandle session;
    Timings timings = Timings::Instant();
    std::string port;
    std::int32_t packageSize = 0;
};

TEST_F(NginxPeerTest, HeadGivesThePackageSize) {
    EXPECT_EQ(QueryRemoteSize(api, session.Get(), Url("/setup.bin")), packageSize);
    EXPECT_EQ(QueryRemoteSize(api, session.Get(), Url("/absent.bin")), -1);
}

TEST_F(NginxPeerTest, ManifestIsFetchedWholeAndRead) {
    std::int32_t size = QueryRemoteSize(api, session.Get(), Url("/zelv3.xml"));
    ASSERT_GT(size, 0);
    std::vector<char> text(static_cast<std::size_t>(size) + 1);
    ASSERT_TRUE(
        DownloadToBuffer(api, session.Get(), timings, Url("/zelv3.xml"), size, text.data()));
    text.back() = '\0';
    SetupManifest manifest;
    ASSERT_TRUE(manifest.Parse(text.data()));
    EXPECT_EQ(manifest.setupUrl, Url("/setup.bin"));
    EXPECT_EQ(manifest.saveFileName, "setup.bin");
    EXPECT_EQ(manifest.setupHash, Env("ZEL_NGINX_PACKAGE_SHA1"));
    EXPECT_EQ(manifest.sizeText, std::to_string(packageSize));
}

TEST_F(NginxPeerTest, WholePackageArrivesIntact) {
    std::vector<char> buffer(static_cast<std::size_t>(packageSize));
    ASSERT_TRUE(DownloadToBuffer(api, session.Get(), timings, Url("/setup.bin"), packageSize,
                                 buffer.data()));
    for (std::size_t i = 0; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], PackageByte(i)) << i;
}

TEST_F(NginxPeerTest, RangedGetAnswers206WithThatRange) {
    UrlParts parts;
    ASSERT_TRUE(CrackUrl(api, Url("/setup.bin"), parts));
    ScopedInternetHandle connection = ConnectToHost(api, session.Get(), parts);
    ScopedInternetHandle request = OpenRequest(api, connection, "GET", parts, 0);
    ASSERT_TRUE(request);
    ApplyRequestTimeouts(api, request.Get(), timings);
    const std::string header = "Range: bytes=1000-40999";
    ASSERT_TRUE(api.HttpAddRequestHeadersA(request.Get(), header.c_str(),
                                           static_cast<Dword>(header.size()),
                                           inet::kAddRequestHeaderAdd));
    ASSERT_TRUE(api.HttpSendRequestA(request.Get(), nullptr, 0, nullptr, 0));
    EXPECT_EQ(QueryStatusCode(api, request.Get()), 206);
    std::string range;
    ASSERT_TRUE(QueryTextHeader(api, request.Get(), inet::kQueryContentRange, range));
    EXPECT_EQ(range, "bytes 1000-40999/" + std::to_string(packageSize));
    std::vector<char> body;
    char piece[32768];
    Dword got = 0;
    while (api.InternetReadFile(request.Get(), piece, sizeof piece, &got) && got > 0)
        body.insert(body.end(), piece, piece + got);
    ASSERT_EQ(body.size(), 40000u);
    for (std::size_t i = 0; i < body.size(); ++i) ASSERT_EQ(body[i], PackageByte(1000 + i)) << i;
}

}  // namespace
}  // namespace zel
