#include "sys/target_file.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace zel {

TEST(TargetFileTest, WritesAtOffsetsWithoutDisturbingOtherBytes) {
    TempFolder scratch;
    TargetFile file;
    EXPECT_FALSE(file.WriteAt(0, "x", 1));
    ASSERT_TRUE(file.Open(scratch.File("p.bin"), TargetFile::OpenMode::CreateAlways));
    ASSERT_TRUE(file.WriteAt(0, "..........", 10));
    ASSERT_TRUE(file.WriteAt(6, "XYZ", 3));
    ASSERT_TRUE(file.WriteAt(0, "A", 1));
    EXPECT_FALSE(file.WriteAt(-1, "x", 1));
    file.Close();
    EXPECT_EQ(scratch.Read("p.bin"), "A.....XYZ.");
}

TEST(TargetFileTest, PreallocateFillsOnlyAnEmptyFileWithZeros) {
    TempFolder scratch;
    TargetFile file;
    EXPECT_FALSE(file.Preallocate(10));
    ASSERT_TRUE(file.Open(scratch.File("p.bin"), TargetFile::OpenMode::CreateAlways));
    ASSERT_TRUE(file.Preallocate(300000));
    // Bytes written after it land among the zeros; the write-back of a part
    // of them, asked for while writing, changes nothing in the file.
    ASSERT_TRUE(file.WriteAt(299998, "AB", 2));
    file.StartWriteBack(0, 300000);
    ASSERT_TRUE(file.WriteAt(1, "C", 1));
    // A file with bytes in it is never filled over.
    EXPECT_FALSE(file.Preallocate(300000));
    file.Close();
    std::string expected(300000, '\0');
    expected.replace(299998, 2, "AB");
    expected[1] = 'C';
    EXPECT_EQ(scratch.Read("p.bin"), expected);
}

TEST(TargetFileTest, OpenModesTreatAnExistingFileAsAsked) {
    TempFolder scratch;
    std::string path = scratch.File("f.txt");
    TargetFile file;
    EXPECT_FALSE(file.Open(path, TargetFile::OpenMode::OpenExisting));
    EXPECT_FALSE(file.IsOpen());

    ASSERT_TRUE(file.Open(path, TargetFile::OpenMode::OpenAlways));
    ASSERT_TRUE(file.Append("one", 3));
    ASSERT_TRUE(file.Open(path, TargetFile::OpenMode::OpenExisting));  // closes the first
    ASSERT_TRUE(file.Append("two", 3));
    file.Close();
    EXPECT_EQ(scratch.Read("f.txt"), "onetwo");

    ASSERT_TRUE(file.Open(path, TargetFile::OpenMode::CreateAlways));
    file.Close();
    EXPECT_EQ(scratch.Read("f.txt"), "");
    EXPECT_TRUE(TargetFile::Delete(path));
    EXPECT_FALSE(scratch.Exists("f.txt"));
}

TEST(TargetFileTest, MoveOverReplacesTheFileAtTheNewNameWhole) {
    TempFolder scratch;
    ASSERT_TRUE(scratch.Write("state.txt", "the old contents, longer than the new"));
    TargetFile file;
    EXPECT_FALSE(file.Flush());
    ASSERT_TRUE(file.Open(scratch.File("state.new"), TargetFile::OpenMode::CreateAlways));
    ASSERT_TRUE(file.Append("new", 3));
    EXPECT_TRUE(file.Flush());
    file.Close();

    EXPECT_TRUE(TargetFile::MoveOver(scratch.File("state.new"), scratch.File("state.txt")));
    EXPECT_EQ(scratch.Read("state.txt"), "new");
    EXPECT_FALSE(scratch.Exists("state.new"));
    // Nothing to move: the file at the new name stays as it is.
    EXPECT_FALSE(TargetFile::MoveOver(scratch.File("state.new"), scratch.File("state.txt")));
    EXPECT_EQ(scratch.Read("state.txt"), "new");
    // And a name where nothing was before.
    ASSERT_TRUE(scratch.Write("other.new", "x"));
    EXPECT_TRUE(TargetFile::MoveOver(scratch.File("other.new"), scratch.File("other.txt")));
    EXPECT_EQ(scratch.Read("other.txt"), "x");
}

}  // namespace zel
