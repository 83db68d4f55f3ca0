#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/transport/curl_transfer.h"
#include "engine/transport/wininet_api.h"
#include "support/fixture_server.h"
#include "support/test_bytes.h"

namespace zel {
namespace {

using test::FixtureServer;

class CurlTransferTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.Listening()); }

    CurlTransfer::Request Get(const std::string& path) {
        CurlTransfer::Request request;
        request.url = server.Url(path);
        request.userAgent = "ZEL Downloader";
        request.connectTimeoutMs = 5000;
        request.receiveTimeoutMs = 5000;
        return request;
    }

    // Reads the body to its end, cycling through the given piece sizes;
    // false when a read fails.
    static bool ReadAll(CurlTransfer& transfer, const std::vector<std::size_t>& sizes,
                        std::string& body) {
        std::vector<char> buffer(1 << 20);
        for (std::size_t i = 0;; ++i) {
            std::size_t want = sizes[i % sizes.size()];
            std::size_t count = 0;
            std::uint32_t error = 0;
            if (!transfer.Read(buffer.data(), want, count, error)) return false;
            if (count > want) return false;
            if (count == 0) return true;
            body.append(buffer.data(), count);
        }
    }

    FixtureServer server;
};

// Large enough that curl runs ahead of every reader and must hold pieces
// back: odd sizes cut through curl's pieces, big ones take several at once.
TEST_F(CurlTransferTest, BodyArrivesWholeAndInOrderWhateverTheReadSizes) {
    const std::string body = PseudoRandomBytes(3 * 1024 * 1024 + 17);
    server.Serve("/pkg.bin", body);
    const std::vector<std::vector<std::size_t>> patterns = {
        {32768}, {1}, {7, 4096, 1}, {100000, 3, 65536, 16383}, {1 << 20}};
    for (const auto& sizes : patterns) {
        CurlTransfer transfer;
        std::uint32_t error = 0;
        ASSERT_TRUE(transfer.Send(Get("/pkg.bin"), error));
        EXPECT_EQ(transfer.Status(), 200);
        std::string received;
        ASSERT_TRUE(ReadAll(transfer, sizes, received)) << sizes[0];
        EXPECT_TRUE(received == body) << "read sizes starting with " << sizes[0] << ": got "
                                      << received.size() << " of " << body.size() << " bytes";
    }
}

TEST_F(CurlTransferTest, BytesBeforeAnEarlyEndAreReadBeforeTheEnd) {
    const std::string body = PseudoRandomBytes(200000);
    FixtureServer::Faults cut;
    cut.cutBodyAt = 50001;
    server.Serve("/cut", body, cut);
    CurlTransfer transfer;
    std::uint32_t error = 0;
    ASSERT_TRUE(transfer.Send(Get("/cut"), error));
    std::string received;
    ASSERT_TRUE(ReadAll(transfer, {32768}, received));
    EXPECT_TRUE(received == body.substr(0, 50001)) << received.size();
}

TEST_F(CurlTransferTest, ReadBeforeSendIsRefused) {
    CurlTransfer transfer;
    char buffer[16];
    std::size_t count = 1;
    std::uint32_t error = 0;
    EXPECT_FALSE(transfer.Read(buffer, sizeof buffer, count, error));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(error, inet::kErrorInternetIncorrectHandleState);
}

}  // namespace
}  // namespace zel
