#include <gtest/gtest.h>

#include "engine/download_engine.h"
#include "engine/segments/resume_state.h"
#include "support/engine_access.h"
#include "support/recording_engine_dialog.h"
#include "support/temp_folder.h"

namespace zel {

using test::EngineAccess;

class ResumeAndVerifyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        engine = std::make_unique<DownloadEngine>(dialog, Timings::Instant());
        engine->SetInstallFolder(scratch.folder());
        engine->SetNotifyWindow(&dialog);
        SetupManifest edited = engine->Manifest();
        edited.totalSize = 100;
        ASSERT_TRUE(engine->SetManifest(edited));
    }

    TempFolder scratch;
    test::RecordingEngineDialog dialog;
    std::unique_ptr<DownloadEngine> engine;
};

TEST_F(ResumeAndVerifyTest, LoadRenumbersSortedSectionsAndPostsTheTotalOnce) {
    scratch.Write("zelv3chunks.txt",
                  "[Thread 01]\r\nStartPos=60\r\nChunkLength=40\r\n\r\n"
                  "[Global]\r\nTotalDownloaded=30\r\nSetupHash=abc\r\n\r\n"
                  "[Thread 00]\r\nStartPos=10\r\nChunkLength=20\r\n\r\n");
    {
        SetupManifest edited = engine->Manifest();
        edited.setupUrl = "http://127.0.0.1:1/setup.exe";
        ASSERT_TRUE(engine->SetManifest(edited));
    }
    ASSERT_TRUE(engine->LoadResumeState());
    ASSERT_EQ(EngineAccess::SegmentCount(*engine), 2u);
    EXPECT_EQ(EngineAccess::Segment(*engine, 0).index, 0);
    EXPECT_EQ(EngineAccess::Segment(*engine, 0).startPos, 10);
    EXPECT_EQ(EngineAccess::Segment(*engine, 1).index, 1);
    EXPECT_EQ(EngineAccess::Segment(*engine, 1).chunkLength, 40);
    EXPECT_EQ(EngineAccess::Segment(*engine, 1).url, "http://127.0.0.1:1/setup.exe");
    EXPECT_EQ(engine->Manifest().threadCount, 2);
    EXPECT_EQ(engine->TotalWritten(), 30);
    EXPECT_EQ(engine->Manifest().savedSetupHash, "abc");
    auto posted = dialog.Posted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, WM_DOWNLOAD_PROGRESS);
    EXPECT_EQ(posted[0].wParam, 30u);
}

TEST_F(ResumeAndVerifyTest, LoadWithoutSegmentSectionsLeavesNothingToResume) {
    EXPECT_FALSE(engine->LoadResumeState());
    EXPECT_EQ(engine->Manifest().threadCount, 2);
    scratch.Write("zelv3chunks.txt", "[Global]\r\nTotalDownloaded=30\r\nSetupHash=abc\r\n");
    EXPECT_FALSE(engine->LoadResumeState());
    EXPECT_EQ(engine->Manifest().threadCount, 0);
    EXPECT_EQ(EngineAccess::SegmentCount(*engine), 0u);
    // A fresh split after this still makes segments.
    EXPECT_EQ(SplitIntoSegments(100, engine->Manifest().threadCount).size(), 2u);
}

TEST_F(ResumeAndVerifyTest, LoadDeletesAFilePointingOutsideThePackage) {
    scratch.Write("zelv3chunks.txt",
                  "[Thread 00]\r\nStartPos=10\r\nChunkLength=20\r\n\r\n"
                  "[Thread 01]\r\nStartPos=90\r\nChunkLength=20\r\n\r\n"
                  "[Global]\r\nTotalDownloaded=30\r\nSetupHash=abc\r\n\r\n");
    EXPECT_FALSE(engine->LoadResumeState());
    EXPECT_FALSE(scratch.Exists("zelv3chunks.txt"));
    EXPECT_EQ(EngineAccess::SegmentCount(*engine), 0u);
    EXPECT_EQ(engine->Manifest().threadCount, 2);
    EXPECT_EQ(engine->TotalWritten(), 0);
    EXPECT_EQ(engine->Manifest().savedSetupHash, "");
    EXPECT_TRUE(dialog.Posted().empty());
}

TEST_F(ResumeAndVerifyTest, VerifyComparesDigestsWithoutRegardToCase) {
    scratch.Write("setup.exe", "abc");
    {
        SetupManifest edited = engine->Manifest();
        edited.saveFileName = "setup.exe";
        edited.setupHash = "a9993e364706816aba3e25717850c26c9cd0d89d";
        ASSERT_TRUE(engine->SetManifest(edited));
    }
    EXPECT_TRUE(engine->VerifyDownloadedFile());
    {
        SetupManifest edited = engine->Manifest();
        edited.setupHash = "A9993E364706816ABA3E25717850C26C9CD0D89E";
        ASSERT_TRUE(engine->SetManifest(edited));
    }
    EXPECT_FALSE(engine->VerifyDownloadedFile());
    EXPECT_TRUE(dialog.MessageBoxes().empty());
}

TEST_F(ResumeAndVerifyTest, VerifyExplainsAMissingFileOrDigest) {
    {
        SetupManifest edited = engine->Manifest();
        edited.saveFileName = "setup.exe";
        edited.setupHash = "A9993E364706816ABA3E25717850C26C9CD0D89D";
        ASSERT_TRUE(engine->SetManifest(edited));
    }
    EXPECT_FALSE(engine->VerifyDownloadedFile());
    scratch.Write("setup.exe", "abc");
    {
        SetupManifest edited = engine->Manifest();
        edited.setupHash = "";
        ASSERT_TRUE(engine->SetManifest(edited));
    }
    EXPECT_FALSE(engine->VerifyDownloadedFile());
    auto boxes = dialog.MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Setup file not found");
    EXPECT_EQ(boxes[0].flags, kMbOk | kMbIconError);
    EXPECT_EQ(boxes[1].text, "Please retry to download setup file");
    EXPECT_EQ(boxes[1].flags, kMbOk | kMbIconError);
}

TEST_F(ResumeAndVerifyTest, DeleteRemovesTheFileAndToleratesItsAbsence) {
    scratch.Write("zelv3chunks.txt", "[Global]\r\n");
    engine->DeleteResumeState();
    EXPECT_FALSE(scratch.Exists("zelv3chunks.txt"));
    engine->DeleteResumeState();
}

}  // namespace zel
