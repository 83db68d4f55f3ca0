// The same cases run against the platform's profile functions (Windows build)
// and our own reader (native build): both must read the files the engine
// writes alike.
#include "sys/profile_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/segments/resume_state.h"
#include "support/temp_folder.h"

namespace zel {

using ::testing::ElementsAre;

TEST(ProfileReaderTest, ReadsTheWritersSectionsInFileOrder) {
    TempFolder scratch;
    std::string path = scratch.File("state.txt");
    ASSERT_TRUE(SaveStateFile(path, FormatSegmentState(1, 654321, 345679) +
                                        FormatSegmentState(0, 123456, 376544) +
                                        FormatGlobalState(277777, "0A1B2C")));

    ProfileReader reader(path);
    EXPECT_THAT(reader.ReadSectionNames(), ElementsAre("Thread 01", "Thread 00", "Global"));
    EXPECT_EQ(reader.ReadValue("Thread 00", "StartPos"), "123456");
    EXPECT_EQ(reader.ReadValue("Thread 01", "ChunkLength"), "345679");
    EXPECT_EQ(reader.ReadValue("Global", "TotalDownloaded"), "277777");
    EXPECT_EQ(reader.ReadValue("Global", "SetupHash"), "0A1B2C");
}

TEST(ProfileReaderTest, MatchesSectionAndKeyWithoutRegardToCase) {
    TempFolder scratch;
    scratch.Write("s.txt", "[Thread 00]\r\nStartPos=5\r\n\r\n");
    ProfileReader reader(scratch.File("s.txt"));
    EXPECT_EQ(reader.ReadValue("thread 00", "STARTPOS"), "5");
    EXPECT_EQ(reader.ReadValue("THREAD 00", "startpos"), "5");
}

TEST(ProfileReaderTest, TrimsValuesAndStripsOnePairOfQuotes) {
    TempFolder scratch;
    scratch.Write("s.txt",
                  "[A]\r\n  Key One  =   spaced value  \r\nQuoted=\"in quotes\"\r\n"
                  "Single='x'\r\nOdd=\"half\r\nEmpty=\r\n");
    ProfileReader reader(scratch.File("s.txt"));
    EXPECT_EQ(reader.ReadValue("A", "Key One"), "spaced value");
    EXPECT_EQ(reader.ReadValue("A", "Quoted"), "in quotes");
    EXPECT_EQ(reader.ReadValue("A", "Single"), "x");
    EXPECT_EQ(reader.ReadValue("A", "Odd"), "\"half");
    EXPECT_EQ(reader.ReadValue("A", "Empty"), "");
}

TEST(ProfileReaderTest, MissingFileSectionOrKeyReadsEmpty) {
    TempFolder scratch;
    ProfileReader missing(scratch.File("none.txt"));
    EXPECT_TRUE(missing.ReadSectionNames().empty());
    EXPECT_EQ(missing.ReadValue("Global", "SetupHash"), "");

    scratch.Write("s.txt", "[Global]\r\nTotalDownloaded=1\r\n");
    ProfileReader reader(scratch.File("s.txt"));
    EXPECT_EQ(reader.ReadValue("Other", "TotalDownloaded"), "");
    EXPECT_EQ(reader.ReadValue("Global", "SetupHash"), "");
}

TEST(ProfileReaderTest, AcceptsBareLineFeedsAndCutsLongValues) {
    TempFolder scratch;
    std::string longValue(300, 'h');
    scratch.Write("s.txt", "[One]\nA=1\n[Two]\nB=" + longValue + "\n");
    ProfileReader reader(scratch.File("s.txt"));
    EXPECT_THAT(reader.ReadSectionNames(), ElementsAre("One", "Two"));
    EXPECT_EQ(reader.ReadValue("One", "A"), "1");
    EXPECT_EQ(reader.ReadValue("Two", "B"), longValue.substr(0, ProfileReader::kMaxValueLength));
}

// 255 segments give more names than a 2000-character block holds; losing
// the last of them would lose the global section of a resume file.
TEST(ProfileReaderTest, SeesEverySectionOfAFileWithTheMostSegments) {
    TempFolder scratch;
    std::string path = scratch.File("state.txt");
    std::string text;
    for (unsigned i = 0; i < 255; ++i) text += FormatSegmentState(i, i, 1);
    ASSERT_TRUE(SaveStateFile(path, text + FormatGlobalState(7, "H")));
    ProfileReader reader(path);
    const auto& names = reader.ReadSectionNames();
    ASSERT_EQ(names.size(), 256u);
    EXPECT_EQ(names.front(), "Thread 00");
    EXPECT_EQ(names[254], "Thread 254");
    EXPECT_EQ(names.back(), "Global");
}

}  // namespace zel
