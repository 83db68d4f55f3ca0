#include <gtest/gtest.h>
#include <windows.h>

#include "support/temp_folder.h"
#include "sys/held_file.h"
#include "sys/win32_handles.h"

namespace zel {
namespace {

// Anyone's attempt to change, rename or delete the held package fails with a
// sharing violation (Wine enforces this between processes as Windows does;
// within one process the same rule holds); once let go, each succeeds.
TEST(HeldFileWin32Test, NobodyWritesRenamesOrDeletesItWhileItIsHeld) {
    TempFolder folder;
    ASSERT_TRUE(folder.Write("setup.exe", "MZ checked bytes"));
    const std::string path = folder.File("setup.exe");
    const std::string moved = folder.File("moved.exe");
    HeldFile held;
    ASSERT_TRUE(held.Open(path));

    const auto openForWriting = [&] {
        return ScopedFileHandle(CreateFileA(path.c_str(), GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, 0, nullptr));
    };
    EXPECT_FALSE(openForWriting());
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(MoveFileExA(path.c_str(), moved.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    // Readers are welcome: the shell starts the package while it is held.
    EXPECT_TRUE(ScopedFileHandle(CreateFileA(path.c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, 0, nullptr)));
    EXPECT_EQ(folder.Read("setup.exe"), "MZ checked bytes");

    held.Close();
    EXPECT_TRUE(openForWriting());
    EXPECT_TRUE(MoveFileExA(path.c_str(), moved.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(DeleteFileA(moved.c_str()));
}

}  // namespace
}  // namespace zel
