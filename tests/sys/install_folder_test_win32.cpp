#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "sys/install_folder.h"

namespace zel {
namespace {

// The shell's answer must be the same folder the system announces to every
// program as %APPDATA%: the user's roaming application data.
TEST(DataFolderWin32Test, IsTheRoamingApplicationDataFolder) {
    std::string path;
    ASSERT_TRUE(GetSpecialFolderPath(path));
    const char* appData = std::getenv("APPDATA");
    ASSERT_NE(appData, nullptr);
    EXPECT_EQ(_stricmp(path.c_str(), appData), 0) << path << " vs " << appData;
    EXPECT_NE(path.back(), '\\');
}

TEST(DataFolderWin32Test, InstallFolderUsesBackslashesAndEndsWithOne) {
    std::string special;
    ASSERT_TRUE(GetSpecialFolderPath(special));
    std::string folder;
    ASSERT_TRUE(GetInstallFolder(folder, ""));
    EXPECT_EQ(folder, special + "\\Quorvane\\ZEL3\\Installer\\");
    EXPECT_EQ(folder.find('/'), std::string::npos);
}

}  // namespace
}  // namespace zel
