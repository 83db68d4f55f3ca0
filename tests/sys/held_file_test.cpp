#include "sys/held_file.h"

#include <gtest/gtest.h>

#include "engine/digest/file_digest.h"
#include "support/temp_folder.h"

namespace zel {
namespace {

// What is read through the held opening is the file: every byte, and the
// same digest as by its path.
TEST(HeldFileTest, ReadsTheWholeFileAndGivesTheDigestOfItsPath) {
    TempFolder folder;
    std::string bytes(20001, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7 + 3);
    ASSERT_TRUE(folder.Write("setup.exe", bytes));

    HeldFile file;
    ASSERT_TRUE(file.Open(folder.File("setup.exe")));
    EXPECT_EQ(file.Path(), folder.File("setup.exe"));
    EXPECT_EQ(file.Size(), 20001);
    char tail[8];
    EXPECT_EQ(file.ReadAt(19998, tail, sizeof tail), 3);
    EXPECT_EQ(std::string(tail, 3), bytes.substr(19998));
    EXPECT_EQ(ComputeFileDigest(file), ComputeFileDigest(folder.File("setup.exe")));

    EXPECT_FALSE(file.Open(folder.File("absent.exe")));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.Open(folder.path())) << "a folder is no package";
}

}  // namespace
}  // namespace zel
