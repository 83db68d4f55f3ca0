// The install folder must be one only its owner can change, reached without
// a link on the way; where it is not, the run stops before anything there
// is read, written or deleted (natively: links are real here, not under Wine).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "session/session_texts.h"
#include "support/session_bench.h"
#include "support/temp_folder.h"

namespace zel {
namespace {

using test::SessionBench;

TEST(SessionFolderTest, LinkOnTheWayToTheFolderStopsTheRunAndNothingIsWrittenThroughIt) {
    SessionBench bench;
    bench.ServePackage(100000);
    // ZEL3 made a link to a place of someone else's choosing, before the
    // program starts; a package and a resume file wait there.
    TempFolder elsewhere;
    std::filesystem::create_directories(elsewhere.File("Installer"));
    ASSERT_TRUE(WriteWholeFile(elsewhere.File("Installer/setup.exe"), bench.Package()));
    ASSERT_TRUE(WriteWholeFile(elsewhere.File("Installer/zelv3chunks.txt"), "[Global]\n"));
    std::filesystem::create_directories(bench.data.path() + "/Quorvane");
    ASSERT_EQ(::symlink(elsewhere.path().c_str(), (bench.data.path() + "/Quorvane/ZEL3").c_str()),
              0);

    bench.Start();
    ASSERT_TRUE(bench.dialog.PumpUntilEnded());

    EXPECT_EQ(bench.InstallFolder(), "");
    EXPECT_EQ(bench.dialog.Status(), texts::kUnableToDownload);
    const auto boxes = bench.dialog.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Download failed.\nPlease re-download it.");
    EXPECT_EQ(bench.dialog.Ended(), DialogEnd::Close);
    EXPECT_TRUE(bench.dialog.Launches().empty());
    EXPECT_EQ(bench.ManifestRequests(), 0u);
    EXPECT_EQ(ReadWholeFile(elsewhere.File("Installer/setup.exe")), bench.Package());
    EXPECT_EQ(ReadWholeFile(elsewhere.File("Installer/zelv3chunks.txt")), "[Global]\n");
    EXPECT_FALSE(std::filesystem::exists(bench.data.path() + "/setup.exe"));
}

}  // namespace
}  // namespace zel
