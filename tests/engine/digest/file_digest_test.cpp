#include "engine/digest/file_digest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "support/temp_folder.h"
#include "support/test_bytes.h"

namespace zel {
namespace {

const char kEmptyDigest[] = "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709";

std::string HexOf(const Sha1Context& context) {
    char text[Sha1Context::kHexSize];
    EXPECT_TRUE(context.FormatHex(text));
    return text;
}

// The digest of bytes fed in pieces of pieceSize through the given block function.
std::string DigestInPieces(Sha1CompressFn compress, const std::string& bytes, size_t pieceSize) {
    Sha1Context context(compress);
    for (size_t at = 0; at < bytes.size(); at += pieceSize) {
        context.Update(bytes.data() + at, std::min(pieceSize, bytes.size() - at));
    }
    context.Final();
    return HexOf(context);
}

struct Implementation {
    const char* name;
    Sha1CompressFn compress;
};

class Sha1BlockFunctionTest : public ::testing::TestWithParam<Implementation> {
  protected:
    void SetUp() override {
        if (!GetParam().compress) GTEST_SKIP() << "this processor has no SHA extensions";
    }
    Sha1CompressFn compress() const { return GetParam().compress; }
};

TEST_P(Sha1BlockFunctionTest, AgreesWithTheStandardsTestVectors) {
    EXPECT_EQ(DigestInPieces(compress(), "", 1), kEmptyDigest);
    EXPECT_EQ(DigestInPieces(compress(), "abc", 3), "A9993E364706816ABA3E25717850C26C9CD0D89D");
    EXPECT_EQ(
        DigestInPieces(compress(), "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 56),
        "84983E441C3BD26EBAAE4AA1F95129E5E54670F1");
    const std::string million(1000000, 'a');
    EXPECT_EQ(DigestInPieces(compress(), million, million.size()),
              "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F");
    EXPECT_EQ(DigestInPieces(compress(), million, 8000),
              "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F");
}

// Pieces that straddle block boundaries in every way must not change the result.
TEST_P(Sha1BlockFunctionTest, PieceSizesDoNotChangeTheDigest) {
    const std::string bytes = PseudoRandomBytes(8001);
    for (size_t piece : {size_t(1), size_t(7), size_t(55), size_t(56), size_t(63), size_t(64),
                         size_t(65), size_t(127), size_t(1000), size_t(8001)}) {
        EXPECT_EQ(DigestInPieces(compress(), bytes, piece),
                  "7C53A86D03C374713FBF7D34A4BB769397E5E021")
            << "pieces of " << piece;
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllBlockFunctions, Sha1BlockFunctionTest,
    ::testing::Values(Implementation{"Portable", &Sha1CompressPortable},
                      Implementation{"ShaExtensions", Sha1CompressAccelerated()}),
    [](const ::testing::TestParamInfo<Implementation>& info) { return info.param.name; });

TEST(Sha1BlockFunctionsTest, AcceleratedMatchesPortableOnManyBlocks) {
    Sha1CompressFn accelerated = Sha1CompressAccelerated();
    if (!accelerated) GTEST_SKIP() << "this processor has no SHA extensions";
    const std::string bytes = PseudoRandomBytes(64 * 300);
    uint32_t portableState[5] = {1, 2, 3, 4, 5};
    uint32_t acceleratedState[5] = {1, 2, 3, 4, 5};
    Sha1CompressPortable(portableState, reinterpret_cast<const uint8_t*>(bytes.data()), 300);
    accelerated(acceleratedState, reinterpret_cast<const uint8_t*>(bytes.data()), 300);
    EXPECT_EQ(0, std::memcmp(portableState, acceleratedState, sizeof portableState));
}

TEST(FileDigestTest, FilesAroundThePieceAndBlockSizesMatchSha1sum) {
    TempFolder folder;
    const struct {
        size_t size;
        const char* digest;
    } cases[] = {
        {0, kEmptyDigest},
        {55, "1033103A02D14793F06D4DC0879AC82B96D77D7F"},
        {56, "C9E99F49D334B4A83450B6DBE43785E97D2CDA9F"},
        {63, "CE2FE945DF0E6EE0F16A003F5E98B79F83C2BE9D"},
        {64, "F512A1E9A0202343D87986B906E5D0AB18D22B6E"},
        {8000, "F73FF90EC5449C1C6A5858D2DE5238CE1D1977EF"},
        {8001, "7C53A86D03C374713FBF7D34A4BB769397E5E021"},
        {5 * 1024 * 1024 + 17, "C3F1038716EF8DE4238513FE4FB2146E9AA77822"},
    };
    for (const auto& c : cases) {
        const std::string path = folder.File("package-" + std::to_string(c.size) + ".exe");
        ASSERT_TRUE(WriteWholeFile(path, PseudoRandomBytes(c.size)));
        EXPECT_EQ(ComputeFileDigest(path), c.digest) << c.size << " bytes";
    }
}

TEST(FileDigestTest, MissingFileGivesTheEmptyInputDigest) {
    TempFolder folder;
    EXPECT_EQ(ComputeFileDigest(folder.File("absent.exe")), kEmptyDigest);
    EXPECT_EQ(ComputeFileDigest(""), kEmptyDigest);
}

TEST(FileDigestTest, HashFileReportsWhetherTheWholeFileWasRead) {
    TempFolder folder;
    const std::string path = folder.File("setup.exe");
    ASSERT_TRUE(WriteWholeFile(path, PseudoRandomBytes(20000)));
    Sha1Context context;
    EXPECT_TRUE(context.HashFile(path.c_str()));
    context.Reset();
    EXPECT_FALSE(context.HashFile(nullptr));
    EXPECT_FALSE(context.HashFile(folder.File("absent.exe").c_str()));
}

// A path longer than any fixed buffer must still name the same file, never a
// cut-off prefix of it.
TEST(FileDigestTest, LongPathIsHashedInFull) {
    TempFolder folder;
    std::filesystem::path deep(folder.path());
    while (deep.string().size() < 1100) deep /= std::string(100, 'd');
    std::error_code error;
    std::filesystem::create_directories(deep, error);
    const std::string path = (deep / "setup.exe").string();
    if (error || !WriteWholeFile(path, "abc")) {
        GTEST_SKIP() << "this system has no paths that long";
    }
    EXPECT_EQ(ComputeFileDigest(path), "A9993E364706816ABA3E25717850C26C9CD0D89D");
}

TEST(FileDigestTest, FormatHexRefusesNoDestinationAndWritesFortyUpperCaseDigits) {
    Sha1Context context;
    context.Update("abc", 3);
    context.Final();
    EXPECT_FALSE(context.FormatHex(nullptr));
    char text[Sha1Context::kHexSize + 4];
    std::memset(text, 'x', sizeof text);
    ASSERT_TRUE(context.FormatHex(text));
    EXPECT_EQ(std::strlen(text), 40u);
    EXPECT_STREQ(text, "A9993E364706816ABA3E25717850C26C9CD0D89D");
}

TEST(FileDigestTest, ResetStartsAFreshComputation) {
    Sha1Context context;
    context.Update("some earlier bytes", 18);
    context.Reset();
    context.Update("abc", 3);
    context.Final();
    EXPECT_EQ(HexOf(context), "A9993E364706816ABA3E25717850C26C9CD0D89D");
}

}  // namespace
}  // namespace zel
