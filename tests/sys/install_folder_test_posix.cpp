#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "support/data_folder.h"
#include "support/temp_folder.h"
#include "sys/install_folder.h"

namespace zel {
namespace {

// Restores one environment variable when the test ends.
class ScopedVariable {
  public:
    explicit ScopedVariable(const char* name) : name_(name) {
        if (const char* value = std::getenv(name)) {
            had_ = true;
            value_ = value;
        }
    }
    ~ScopedVariable() {
        if (had_) {
            ::setenv(name_, value_.c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

  private:
    const char* name_;
    bool had_ = false;
    std::string value_;
};

TEST(DataFolderPosixTest, WithoutXdgDataHomeTheHomesShareFolderIsUsed) {
    ScopedVariable home("HOME");
    ScopedVariable xdg("XDG_DATA_HOME");
    ::setenv("HOME", "/home/someone", 1);
    ::unsetenv("XDG_DATA_HOME");
    std::string path;
    ASSERT_TRUE(GetSpecialFolderPath(path));
    EXPECT_EQ(path, "/home/someone/.local/share");

    // A relative value is not a data folder.
    ::setenv("XDG_DATA_HOME", "relative/data", 1);
    ASSERT_TRUE(GetSpecialFolderPath(path));
    EXPECT_EQ(path, "/home/someone/.local/share");
}

TEST(DataFolderPosixTest, NoDataFolderAtAllLeavesTheInstallFolderEmpty) {
    ScopedVariable home("HOME");
    ScopedVariable xdg("XDG_DATA_HOME");
    ::unsetenv("HOME");
    ::unsetenv("XDG_DATA_HOME");
    std::string path = "left over";
    EXPECT_FALSE(GetInstallFolder(path, ""));
    EXPECT_EQ(path, "");
}

TEST(DataFolderPosixTest, DataFolderWithTrailingSeparatorGivesNoDoubleSeparator) {
    ScopedDataFolder data;
    ScopedVariable xdg("XDG_DATA_HOME");
    ::setenv("XDG_DATA_HOME", (data.path() + "/").c_str(), 1);
    std::string folder;
    ASSERT_TRUE(GetInstallFolder(folder, ""));
    EXPECT_EQ(folder, data.path() + "/Quorvane/ZEL3/Installer/");
}

mode_t ModeOf(const std::string& path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

// Whatever the user's umask, and whatever an earlier run left.
TEST(InstallFolderPosixTest, FoldersAre0755AndTheRunningUsersOwn) {
    ScopedDataFolder data;
    const mode_t umaskBefore = ::umask(077);
    std::string folder;
    const bool got = GetInstallFolder(folder, "");
    ::umask(umaskBefore);
    ASSERT_TRUE(got);
    for (const char* path : {"/Quorvane", "/Quorvane/ZEL3", "/Quorvane/ZEL3/Installer"}) {
        struct stat status;
        ASSERT_EQ(::stat((data.path() + path).c_str(), &status), 0) << path;
        EXPECT_EQ(status.st_mode & 07777, 0755u) << path;
        EXPECT_EQ(status.st_uid, ::geteuid()) << path;
    }
    ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
    ASSERT_TRUE(GetInstallFolder(folder, ""));
    EXPECT_EQ(ModeOf(folder), 0755u) << "an open folder of an earlier run is closed again";
}

// A link at any step from the data folder down is refused, not followed:
// nothing is made in its target, and the result is empty.
TEST(InstallFolderPosixTest, LinkAnywhereOnTheWayIsRefusedAndNothingIsMadeThroughIt) {
    for (const std::string below :
         {"", "/Quorvane", "/Quorvane/ZEL3", "/Quorvane/ZEL3/Installer"}) {
        ScopedDataFolder data;
        TempFolder elsewhere;
        const std::string link = data.path() + below;
        std::filesystem::create_directories(std::filesystem::path(link).parent_path());
        ASSERT_EQ(::symlink(elsewhere.path().c_str(), link.c_str()), 0) << link;
        const mode_t modeBefore = ModeOf(elsewhere.path());

        FolderHold hold;
        std::string folder = "left over";
        EXPECT_FALSE(GetInstallFolder(folder, "", hold)) << "link at " << link;
        EXPECT_EQ(folder, "");
        EXPECT_TRUE(std::filesystem::is_empty(elsewhere.path())) << "made through " << link;
        EXPECT_EQ(ModeOf(elsewhere.path()), modeBefore) << "changed through " << link;
    }
}

}  // namespace
}  // namespace zel
