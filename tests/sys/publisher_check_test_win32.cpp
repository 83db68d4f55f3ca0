// The system's signature check, on files the build signed with the tests'
// own authority (tests/support/sign-file). The authority is trusted in the
// test program's private Wine prefix only.
#include <gtest/gtest.h>
#include <windows.h>
#include <wintrust.h>

#include <string>

#include "support/test_authority.h"
#include "sys/publisher_check.h"

namespace zel {
namespace {

#ifdef ZEL_SIGNED_SAMPLES
constexpr const char* kPublisher = "ZelDownloader Test Publisher";

// An absolute Unix path names the same file on Wine's drive Z:.
std::string Sample(const std::string& name) {
    return std::string("Z:") + ZEL_SIGNED_SAMPLES + "/" + name;
}

class PublisherCheckTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        trusted_ = test::TrustTestAuthority(WinInetApi(), nullptr, Sample("ca.pem"));
    }
    void SetUp() override { ASSERT_TRUE(trusted_) << "the test authority is not trusted"; }
    static bool trusted_;
};
bool PublisherCheckTest::trusted_ = false;

TEST_F(PublisherCheckTest, SignedByTheTrustedPublisherVerifiesWithItsName) {
    const FileSignature signature = ReadFileSignature(Sample("signed.exe"));
    EXPECT_EQ(signature.status, trust::kVerified);
    EXPECT_EQ(signature.signer, kPublisher);
    EXPECT_TRUE(IsSignedBy(Sample("signed.exe"), kPublisher));
    EXPECT_TRUE(PublisherCheckFor(kPublisher)(Sample("signed.exe")));
}

TEST_F(PublisherCheckTest, AnotherPublishersNameOrOneThatDiffersInAnyWayIsRefused) {
    for (const char* other : {"Another Publisher", "zeldownloader test publisher",
                              "ZelDownloader Test Publisher ", "ZelDownloader Test", ""}) {
        EXPECT_FALSE(IsSignedBy(Sample("signed.exe"), other)) << '"' << other << '"';
    }
}

TEST_F(PublisherCheckTest, UnsignedFileHasNoSignature) {
    const FileSignature signature = ReadFileSignature(Sample("unsigned.exe"));
    EXPECT_EQ(signature.status, trust::kNoSignature);
    EXPECT_TRUE(signature.signer.empty());
    EXPECT_FALSE(IsSignedBy(Sample("unsigned.exe"), kPublisher));
}

TEST_F(PublisherCheckTest, SignedFileWithOneByteChangedFailsItsDigest) {
    const FileSignature signature = ReadFileSignature(Sample("changed.exe"));
    EXPECT_EQ(signature.status, trust::kBadDigest);
    EXPECT_FALSE(IsSignedBy(Sample("changed.exe"), kPublisher));
}

// The right name from an authority nobody trusts is worth nothing, whether
// the signature leaves that authority out (no chain to any root) or carries
// it along (a chain to a root the machine does not trust). Wine's own answer
// for both is 0.
TEST_F(PublisherCheckTest, PublishersNameFromAnUntrustedAuthorityIsRefused) {
    const FileSignature alone = ReadFileSignature(Sample("stranger.exe"));
    EXPECT_EQ(alone.status, std::uint32_t(CERT_E_CHAINING));
    EXPECT_TRUE(alone.signer.empty());
    EXPECT_FALSE(IsSignedBy(Sample("stranger.exe"), kPublisher));

    const FileSignature withRoot = ReadFileSignature(Sample("stranger-with-root.exe"));
    EXPECT_EQ(withRoot.status, std::uint32_t(CERT_E_UNTRUSTEDROOT));
    EXPECT_FALSE(IsSignedBy(Sample("stranger-with-root.exe"), kPublisher));
}

TEST_F(PublisherCheckTest, MissingFileIsRefused) {
    EXPECT_NE(ReadFileSignature(Sample("no-such-file.exe")).status, trust::kVerified);
    EXPECT_FALSE(IsSignedBy(Sample("no-such-file.exe"), kPublisher));
}
#endif

}  // namespace
}  // namespace zel
