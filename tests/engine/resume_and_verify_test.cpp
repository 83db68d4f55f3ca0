#include <gtest/gtest.h>

#include "engine/download_engine.h"
#include "engine/resume_state.h"
#include "support/recording_engine_dialog.h"
#include "support/temp_folder.h"

namespace zel {

class ResumeAndVerifyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        engine = std::make_unique<DownloadEngine>(dialog, Timings::Instant());
        engine->installFolder = scratch.folder();
        engine->notifyWindow = &dialog;
        engine->manifest.totalSize = 100;
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
    engine->manifest.setupUrl = "http://127.0.0.1:1/setup.exe";
    ASSERT_TRUE(engine->LoadResumeState());
    ASSERT_EQ(engine->segments.size(), 2u);
    EXPECT_EQ(engine->segments[0]->index, 0);
    EXPECT_EQ(engine->segments[0]->startPos, 10);
    EXPECT_EQ(engine->segments[1]->index, 1);
    EXPECT_EQ(engine->segments[1]->chunkLength, 40);
    EXPECT_EQ(engine->segments[1]->url, "http://127.0.0.1:1/setup.exe");
    EXPECT_EQ(engine->manifest.threadCount, 2);
    EXPECT_EQ(engine->totalWritten.load(), 30);
    EXPECT_EQ(engine->manifest.savedSetupHash, "abc");
    auto posted = dialog.Posted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, WM_DOWNLOAD_PROGRESS);
    EXPECT_EQ(posted[0].wParam, 30u);
}

TEST_F(ResumeAndVerifyTest, LoadWithoutSegmentSectionsLeavesNothingToResume) {
    EXPECT_FALSE(engine->LoadResumeState());
    EXPECT_EQ(engine->manifest.threadCount, 2);
    scratch.Write("zelv3chunks.txt", "[Global]\r\nTotalDownloaded=30\r\nSetupHash=abc\r\n");
    EXPECT_FALSE(engine->LoadResumeState());
    EXPECT_EQ(engine->manifest.threadCount, 0);
    EXPECT_TRUE(engine->segments.empty());
    // A fresh split after this still makes segments.
    EXPECT_EQ(SplitIntoSegments(100, engine->manifest.threadCount).size(), 2u);
}

TEST_F(ResumeAndVerifyTest, LoadDeletesAFilePointingOutsideThePackage) {
    engine->totalWritten = 55;
    scratch.Write("zelv3chunks.txt",
                  "[Thread 00]\r\nStartPos=10\r\nChunkLength=20\r\n\r\n"
                  "[Thread 01]\r\nStartPos=90\r\nChunkLength=20\r\n\r\n"
                  "[Global]\r\nTotalDownloaded=30\r\nSetupHash=abc\r\n\r\n");
    EXPECT_FALSE(engine->LoadResumeState());
    EXPECT_FALSE(scratch.Exists("zelv3chunks.txt"));
    EXPECT_TRUE(engine->segments.empty());
    EXPECT_EQ(engine->manifest.threadCount, 2);
    EXPECT_EQ(engine->totalWritten.load(), 0);
    EXPECT_EQ(engine->manifest.savedSetupHash, "");
    EXPECT_TRUE(dialog.Posted().empty());
}

TEST_F(ResumeAndVerifyTest, VerifyComparesDigestsWithoutRegardToCase) {
    scratch.Write("setup.exe", "abc");
    engine->manifest.saveFileName = "setup.exe";
    engine->manifest.setupHash = "a9993e364706816aba3e25717850c26c9cd0d89d";
    EXPECT_TRUE(engine->VerifyDownloadedFile());
    engine->manifest.setupHash = "A9993E364706816ABA3E25717850C26C9CD0D89E";
    EXPECT_FALSE(engine->VerifyDownloadedFile());
    EXPECT_TRUE(dialog.MessageBoxes().empty());
}

TEST_F(ResumeAndVerifyTest, VerifyExplainsAMissingFileOrDigest) {
    engine->manifest.saveFileName = "setup.exe";
    engine->manifest.setupHash = "A9993E364706816ABA3E25717850C26C9CD0D89D";
    EXPECT_FALSE(engine->VerifyDownloadedFile());
    scratch.Write("setup.exe", "abc");
    engine->manifest.setupHash = "";
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
