#include "sys/install_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>

#include "support/data_folder.h"
#include "support/temp_folder.h"

namespace zel {
namespace {

// Writes paths with '|' for the separator, so that each case reads the same
// on both systems.
std::string P(std::string text) {
    for (char& c : text) {
        if (c == '|') c = PathSeparator();
    }
    return text;
}

std::set<std::string> Entries(const std::string& folder) {
    std::set<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

std::string Appended(std::string path, const std::string& piece) {
    AppendPath(path, piece);
    return path;
}

TEST(AppendPathTest, JoinsWithExactlyOneSeparator) {
    EXPECT_EQ(Appended(P("C:|One"), "Two"), P("C:|One|Two"));
    EXPECT_EQ(Appended(P("C:|One|"), "Two"), P("C:|One|Two"));
    EXPECT_EQ(Appended(P("C:|One"), P("|Two")), P("C:|One|Two"));
    EXPECT_EQ(Appended(P("C:|One|"), P("|Two|")), P("C:|One|Two|"));
}

TEST(AppendPathTest, EmptySideJustConcatenates) {
    EXPECT_EQ(Appended("", P("|Two")), P("|Two"));
    EXPECT_EQ(Appended(P("C:|One|"), ""), P("C:|One|"));
    EXPECT_EQ(Appended("", ""), "");
}

TEST(InstallFolderHelpersTest, PrefixesEndAtEachSeparatorAndWithTheWholePath) {
    const std::vector<std::string> expected = {"C:", P("C:|One"), P("C:|One|Two"),
                                               P("C:|One|Two|Three")};
    EXPECT_EQ(FolderPrefixes(P("C:|One|Two|Three")), expected);
    EXPECT_EQ(FolderPrefixes("Alone"), std::vector<std::string>{"Alone"});
}

TEST(PathKindTest, TellsNothingFolderAndFile) {
    TempFolder folder;
    ASSERT_TRUE(WriteWholeFile(folder.File("setup.exe"), "MZ"));
    std::filesystem::create_directory(folder.File("setup-folder.exe"));
    EXPECT_EQ(GetPathKind(folder.File("absent.exe")), kPathNothing);
    EXPECT_EQ(GetPathKind(folder.path()), kPathFolder);
    // A folder named like the package must never pass for the package.
    EXPECT_EQ(GetPathKind(folder.File("setup-folder.exe")), kPathFolder);
    EXPECT_EQ(GetPathKind(folder.File("setup.exe")), kPathFile);
    EXPECT_EQ(GetPathKind(""), kPathNothing);
}

TEST(PathExistsTest, EmptyCountsAsThereMissingAsNot) {
    TempFolder folder;
    ASSERT_TRUE(WriteWholeFile(folder.File("zelv3chunks.txt"), "[0]\n"));
    EXPECT_EQ(PathExists(""), -4);
    EXPECT_EQ(PathExists(folder.path()), 1);
    EXPECT_EQ(PathExists(folder.File("zelv3chunks.txt")), 1);
    EXPECT_EQ(PathExists(folder.File("absent")), 0);
}

TEST(CreateFolderTreeTest, CreatesEveryMissingFolderFromTheTop) {
    TempFolder folder;
    const std::string deep = folder.path() + P("|One|Two|Three|");
    EXPECT_EQ(CreateFolderTree(deep), 1);
    EXPECT_EQ(GetPathKind(folder.path() + P("|One|Two|Three")), kPathFolder);
    EXPECT_EQ(CreateFolderTree(deep), 1);
}

TEST(CreateFolderTreeTest, GivesZeroWhenAFileStandsInTheWay) {
    TempFolder folder;
    ASSERT_TRUE(WriteWholeFile(folder.File("One"), "not a folder"));
    EXPECT_EQ(CreateFolderTree(folder.path() + P("|One|Two")), 0);
    EXPECT_EQ(GetPathKind(folder.File("One")), kPathFile);
}

TEST(InstallFolderTest, FreshProfileGetsTheThreeFoldersBelowTheDataFolder) {
    ScopedDataFolder data;
    ASSERT_FALSE(data.path().empty());
    std::string special;
    ASSERT_TRUE(GetSpecialFolderPath(special));
    EXPECT_EQ(special, data.path());

    std::string folder;
    ASSERT_TRUE(GetInstallFolder(folder, ""));
    EXPECT_EQ(folder, Appended(data.path(), P("Quorvane|ZEL3|Installer|")));
    EXPECT_EQ(GetPathKind(folder), kPathFolder);
    EXPECT_EQ(Entries(Appended(data.path(), "Quorvane")), std::set<std::string>{"ZEL3"});
    EXPECT_EQ(Entries(Appended(data.path(), P("Quorvane|ZEL3"))),
              std::set<std::string>{"Installer"});
}

TEST(InstallFolderTest, SecondCallFindsTheFolderAndCreatesNothing) {
    ScopedDataFolder data;
    std::string first;
    ASSERT_TRUE(GetInstallFolder(first, ""));
    ASSERT_TRUE(WriteWholeFile(first + "zelv3chunks.txt", "[0]\n"));

    std::string second = "left over";
    ASSERT_TRUE(GetInstallFolder(second, ""));
    EXPECT_EQ(second, first);
    EXPECT_EQ(Entries(first), std::set<std::string>{"zelv3chunks.txt"});
    EXPECT_EQ(Entries(Appended(data.path(), P("Quorvane|ZEL3"))),
              std::set<std::string>{"Installer"});
}

TEST(InstallFolderTest, SubPathGoesBelowTheInstallFolder) {
    ScopedDataFolder data;
    std::string folder;
    ASSERT_TRUE(GetInstallFolder(folder, "Logs"));
    EXPECT_EQ(folder, Appended(data.path(), P("Quorvane|ZEL3|Installer|Logs")));
    EXPECT_EQ(GetPathKind(folder), kPathFolder);
}

TEST(InstallFolderTest, FolderWithExtraAttributesIsStillFound) {
    ScopedDataFolder data;
    std::string folder;
    ASSERT_TRUE(GetInstallFolder(folder, ""));
    const std::string installer = Appended(data.path(), P("Quorvane|ZEL3|Installer"));
    ASSERT_TRUE(GiveFolderExtraAttributes(installer));

    EXPECT_EQ(CreateFolderTree(folder), 0);
    std::string again;
    EXPECT_TRUE(GetInstallFolder(again, ""));
    EXPECT_EQ(again, folder);
    ClearFolderExtraAttributes(installer);
}

TEST(InstallFolderTest, FailsWithEmptyResultWhenTheFolderCannotBeMade) {
    ScopedDataFolder data;
    // A file where the first of the program's folders belongs.
    ASSERT_EQ(CreateFolderTree(data.path()), 1);
    ASSERT_TRUE(WriteWholeFile(Appended(data.path(), "Quorvane"), "in the way"));
    std::string folder = "left over";
    EXPECT_FALSE(GetInstallFolder(folder, ""));
    EXPECT_EQ(folder, "");
    std::remove(Appended(data.path(), "Quorvane").c_str());
}

// Every folder it makes is made safe; of a tree found in place (an earlier
// run's), Quorvane and ZEL3 are another's to set, while the install folder is
// made safe again before its resume file is trusted, and keeps it. Under Wine
// the descriptor is applied but not kept (it reads back as Wine's default), so
// what shows that it was applied is the hold's account.
TEST(InstallFolderTest, FoldersItMakesAndTheInstallFolderItFindsAreProtectedAndHeld) {
    ScopedDataFolder data;
    const std::string installer = Appended(data.path(), P("Quorvane|ZEL3|Installer"));
    FolderHold hold;
    std::string folder;
    ASSERT_TRUE(GetInstallFolder(folder, "", hold));
    const std::vector<std::string> expected = {
        Appended(data.path(), "Quorvane"), Appended(data.path(), P("Quorvane|ZEL3")), installer};
    EXPECT_EQ(hold.Protected(), expected);

    hold.Release();  // that run has ended
    ASSERT_TRUE(WriteWholeFile(Appended(installer, "zelv3chunks.txt"), "[Global]\n"));
    FolderHold again;
    ASSERT_TRUE(GetInstallFolder(folder, "", again));
    EXPECT_EQ(again.Protected(), std::vector<std::string>{installer});
    EXPECT_EQ(ReadWholeFile(folder + "zelv3chunks.txt"), "[Global]\n");
}

}  // namespace
}  // namespace zel
