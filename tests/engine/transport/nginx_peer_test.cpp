// The internet layer against a real web server: nginx, started by
// scripts/test with tests/support/nginx-fixture. Skipped without it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/manifest/setup_manifest.h"
#include "engine/timings.h"
#include "engine/transport/internet_access.h"
#include "support/test_authority.h"
#include "sys/last_error.h"

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

namespace zel {
namespace {

// The same server over TLS, its certificate issued for localhost by the
// tests' own authority, which this session trusts; and a second one whose
// certificate for localhost comes from an authority nobody trusts.
class NginxTlsPeerTest : public NginxPeerTest {
  protected:
    void SetUp() override {
        NginxPeerTest::SetUp();
        if (IsSkipped()) return;
        tlsPort = Env("ZEL_NGINX_TLS_PORT");
        roguePort = Env("ZEL_NGINX_ROGUE_TLS_PORT");
        if (tlsPort.empty() || roguePort.empty())
            GTEST_SKIP() << "the nginx fixture serves no TLS (scripts/test starts it)";
        ASSERT_TRUE(test::TrustTestAuthority(api, session.Get(), Env("ZEL_NGINX_TEST_CA")));
    }

    std::string SecureUrl(const std::string& host, const std::string& port,
                          const std::string& path) const {
        return "https://" + host + ":" + port + path;
    }

    // A ranged GET as the workers send it; the status, or -1 when the
    // request could not be sent, with the body read into body.
    std::int32_t RangedGet(const std::string& url, const std::string& range, std::string& body,
                           Dword& sendError) {
        UrlParts parts;
        if (!CrackUrl(api, url, parts)) return -1;
        ScopedInternetHandle connection = ConnectToHost(api, session.Get(), parts);
        ScopedInternetHandle request = OpenRequest(api, connection, "GET", parts, 0);
        if (!request) return -1;
        ApplyRequestTimeouts(api, request.Get(), timings);
        const std::string header = "Range: bytes=" + range;
        api.HttpAddRequestHeadersA(request.Get(), header.c_str(), static_cast<Dword>(header.size()),
                                   inet::kAddRequestHeaderAdd);
        if (!api.HttpSendRequestA(request.Get(), nullptr, 0, nullptr, 0)) {
            sendError = LastSystemError();
            return -1;
        }
        char piece[32768];
        Dword got = 0;
        while (api.InternetReadFile(request.Get(), piece, sizeof piece, &got) && got > 0)
            body.append(piece, got);
        return QueryStatusCode(api, request.Get());
    }

    // A server whose certificate fails its check: the size, the whole GET
    // and a ranged GET all fail, and no byte of the answer is read.
    void ExpectRefusedWithoutAByte(const std::string& package) {
        EXPECT_EQ(QueryRemoteSize(api, session.Get(), package), -1);
        std::vector<char> whole(static_cast<std::size_t>(packageSize));
        EXPECT_FALSE(
            DownloadToBuffer(api, session.Get(), timings, package, packageSize, whole.data()));
        std::string body;
        Dword error = 0;
        EXPECT_EQ(RangedGet(package, "0-999", body, error), -1);
        EXPECT_NE(error, 0u);
        EXPECT_TRUE(body.empty());
    }

    std::string tlsPort;
    std::string roguePort;
};

TEST_F(NginxTlsPeerTest, HttpsAnswersOnceTheServersAuthorityIsTrusted) {
    const std::string package = SecureUrl("localhost", tlsPort, "/setup.bin");
    EXPECT_EQ(QueryRemoteSize(api, session.Get(), package), packageSize);

    std::int32_t size =
        QueryRemoteSize(api, session.Get(), SecureUrl("localhost", tlsPort, "/zelv3.xml"));
    ASSERT_GT(size, 0);
    std::vector<char> text(static_cast<std::size_t>(size) + 1);
    ASSERT_TRUE(DownloadToBuffer(api, session.Get(), timings,
                                 SecureUrl("localhost", tlsPort, "/zelv3.xml"), size, text.data()));
    text.back() = '\0';
    EXPECT_NE(std::string(text.data()).find("<alternate_setupurl>"), std::string::npos);

    std::vector<char> whole(static_cast<std::size_t>(packageSize));
    ASSERT_TRUE(DownloadToBuffer(api, session.Get(), timings, package, packageSize, whole.data()));
    for (std::size_t i = 0; i < whole.size(); ++i) ASSERT_EQ(whole[i], PackageByte(i)) << i;

    std::string body;
    Dword error = 0;
    EXPECT_EQ(RangedGet(package, "1000-40999", body, error), 206);
    ASSERT_EQ(body.size(), 40000u);
    for (std::size_t i = 0; i < body.size(); ++i) ASSERT_EQ(body[i], PackageByte(1000 + i)) << i;
}

// The certificate names localhost; the same server asked for as 127.0.0.1
// is refused, its answer never read.
TEST_F(NginxTlsPeerTest, AHostNameTheCertificateDoesNotNameIsRefused) {
    ExpectRefusedWithoutAByte(SecureUrl("127.0.0.1", tlsPort, "/setup.bin"));
}

TEST_F(NginxTlsPeerTest, ACertificateFromAnUnknownAuthorityIsRefused) {
    ExpectRefusedWithoutAByte(SecureUrl("localhost", roguePort, "/setup.bin"));
}

// An https address is no plain one: a TLS request to a plain HTTP server
// fails instead of being answered in the clear, and the reverse.
TEST_F(NginxTlsPeerTest, TheSchemeDecidesTlsWhateverThePort) {
    EXPECT_EQ(QueryRemoteSize(api, session.Get(), SecureUrl("localhost", port, "/setup.bin")), -1);
    EXPECT_EQ(QueryRemoteSize(api, session.Get(), "http://localhost:" + tlsPort + "/setup.bin"),
              -1);
}

}  // namespace
}  // namespace zel
