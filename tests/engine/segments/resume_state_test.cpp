#include "engine/segments/resume_state.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

#include "support/temp_folder.h"

namespace zel {

namespace {

std::vector<std::pair<int, int>> AsPairs(const std::vector<SegmentRange>& ranges) {
    std::vector<std::pair<int, int>> pairs;
    for (const auto& r : ranges) pairs.emplace_back(r.start, r.length);
    return pairs;
}

using Pairs = std::vector<std::pair<int, int>>;

}  // namespace

TEST(SplitIntoSegmentsTest, LastSegmentTakesTheRemainder) {
    EXPECT_EQ(AsPairs(SplitIntoSegments(10, 3)), (Pairs{{0, 3}, {3, 3}, {6, 4}}));
    EXPECT_EQ(AsPairs(SplitIntoSegments(9, 2)), (Pairs{{0, 4}, {4, 5}}));
    // Fewer bytes than segments: the leading ones are empty.
    EXPECT_EQ(AsPairs(SplitIntoSegments(2, 3)), (Pairs{{0, 0}, {0, 0}, {0, 2}}));
}

TEST(SplitIntoSegmentsTest, ZeroCountUsesTheDefaultTwo) {
    EXPECT_EQ(AsPairs(SplitIntoSegments(10, 0)), (Pairs{{0, 5}, {5, 5}}));
}

TEST(SplitIntoSegmentsTest, LargestPackageDoesNotOverflow) {
    auto ranges = SplitIntoSegments(std::numeric_limits<std::int32_t>::max(), 255);
    ASSERT_EQ(ranges.size(), 255u);
    std::int64_t end = std::int64_t{ranges.back().start} + ranges.back().length;
    EXPECT_EQ(end, std::numeric_limits<std::int32_t>::max());
}

TEST(ResumeStateWriterTest, SectionHeadersCarryAtLeastTwoDigits) {
    EXPECT_EQ(FormatSegmentState(7, 1, 2).substr(0, 13), "[Thread 07]\r\n");
    EXPECT_EQ(FormatSegmentState(12, 1, 2).substr(0, 13), "[Thread 12]\r\n");
    EXPECT_EQ(FormatSegmentState(100, 1, 2).substr(0, 14), "[Thread 100]\r\n");
}

TEST(ResumeStateWriterTest, WritesTheTwelveLinesOfAPausedDownloadOverTheOldFile) {
    TempFolder scratch;
    std::string path = scratch.File("zelv3chunks.txt");
    ASSERT_TRUE(scratch.Write("zelv3chunks.txt", std::string(500, 'x')));
    ASSERT_TRUE(SaveStateFile(
        path, FormatSegmentState(0, 123456, 376544) + FormatSegmentState(1, 654321, 345679) +
                  FormatGlobalState(277777, "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709")));
    EXPECT_EQ(scratch.Read("zelv3chunks.txt"),
              "[Thread 00]\r\nStartPos=123456\r\nChunkLength=376544\r\n\r\n"
              "[Thread 01]\r\nStartPos=654321\r\nChunkLength=345679\r\n\r\n"
              "[Global]\r\nTotalDownloaded=277777\r\n"
              "SetupHash=DA39A3EE5E6B4B0D3255BFEF95601890AFD80709\r\n\r\n");
    EXPECT_FALSE(scratch.Exists("zelv3chunks.txt.new"));
}

// The new version is written under another name first: when that fails,
// the file read back is still the old one, whole.
TEST(ResumeStateWriterTest, FailedSaveLeavesTheOldFile) {
    TempFolder scratch;
    const std::string old = FormatSegmentState(0, 5, 10) + FormatGlobalState(5, "H");
    ASSERT_TRUE(scratch.Write("zelv3chunks.txt", old));
    std::filesystem::create_directory(scratch.File(StateTempPath("zelv3chunks.txt")));
    EXPECT_FALSE(SaveStateFile(scratch.File("zelv3chunks.txt"), FormatGlobalState(9, "H")));
    EXPECT_EQ(scratch.Read("zelv3chunks.txt"), old);
    EXPECT_FALSE(SaveStateFile(scratch.File("no-such-folder/x.txt"), old));
}

TEST(ResumeStateReaderTest, IgnoresNamesInTheWrongCaseOrWithoutTheSpace) {
    TempFolder scratch;
    scratch.Write("s.txt",
                  "[thread 00]\r\nStartPos=1\r\nChunkLength=1\r\n\r\n"
                  "[Threads]\r\nStartPos=2\r\nChunkLength=1\r\n\r\n"
                  "[GLOBAL]\r\nTotalDownloaded=3\r\n\r\n"
                  "[Thread 05]\r\nStartPos=4\r\nChunkLength=1\r\n\r\n");
    ResumeState state;
    ASSERT_EQ(ReadResumeState(scratch.File("s.txt"), 100, &state), ResumeReadResult::Readable);
    EXPECT_EQ(AsPairs(state.segments), (Pairs{{4, 1}}));
    EXPECT_FALSE(state.hasGlobal);
}

TEST(ResumeStateReaderTest, ValuesReadAsAtoiReadsThem) {
    TempFolder scratch;
    scratch.Write("s.txt", "[Thread 00]\r\nStartPos=abc\r\nChunkLength=12kb\r\n\r\n");
    ResumeState state;
    ASSERT_EQ(ReadResumeState(scratch.File("s.txt"), 100, &state), ResumeReadResult::Readable);
    EXPECT_EQ(AsPairs(state.segments), (Pairs{{0, 12}}));
}

TEST(ResumeStateReaderTest, NoFileOrNoSectionsReadsNothing) {
    TempFolder scratch;
    ResumeState state;
    EXPECT_EQ(ReadResumeState(scratch.File("none.txt"), 100, &state), ResumeReadResult::NoSections);
    scratch.Write("s.txt", "StartPos=1\r\n");
    EXPECT_EQ(ReadResumeState(scratch.File("s.txt"), 100, &state), ResumeReadResult::NoSections);
}

// A resume file is input from disk: any section that points outside the
// package would make the workers write outside it.
TEST(ResumeStateReaderTest, RangeOutsideThePackageMakesTheFileUnusable) {
    const char* bad[] = {
        "[Thread 00]\r\nStartPos=-1\r\nChunkLength=10\r\n",
        "[Thread 00]\r\nStartPos=0\r\nChunkLength=0\r\n",
        "[Thread 00]\r\nStartPos=0\r\nChunkLength=-5\r\n",
        "[Thread 00]\r\nStartPos=2147483000\r\nChunkLength=2147483000\r\n",
        "[Thread 00]\r\nStartPos=90\r\nChunkLength=11\r\n",
        "[Thread 00]\r\nStartPos=0\r\n",
        "[Thread 00]\r\nStartPos=0\r\nChunkLength=1\r\n[Global]\r\nTotalDownloaded=-1\r\n",
        "[Thread 00]\r\nStartPos=0\r\nChunkLength=1\r\n[Global]\r\nTotalDownloaded=101\r\n",
    };
    TempFolder scratch;
    for (const char* text : bad) {
        scratch.Write("s.txt", text);
        ResumeState state;
        EXPECT_EQ(ReadResumeState(scratch.File("s.txt"), 100, &state), ResumeReadResult::Unusable)
            << text;
    }
    scratch.Write("s.txt",
                  "[Thread 00]\r\nStartPos=90\r\nChunkLength=10\r\n"
                  "[Global]\r\nTotalDownloaded=100\r\n");
    ResumeState state;
    EXPECT_EQ(ReadResumeState(scratch.File("s.txt"), 100, &state), ResumeReadResult::Readable);
}

}  // namespace zel
