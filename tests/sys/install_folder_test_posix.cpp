#include <gtest/gtest.h>

#include <cstdlib>

#include "support/data_folder.h"
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

}  // namespace
}  // namespace zel
