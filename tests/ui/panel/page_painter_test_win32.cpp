#include <gtest/gtest.h>

#include "ui/panel/page_capture.h"
#include "ui/panel/page_painter.h"

namespace zel {
namespace {

constexpr int kContentTop = kHeaderHeight;

TEST(PagePainterTest, PageComesFromTheProgramsResourcesWithAFont) {
    const GdiplusSession gdiplus;
    auto painter = CPagePainter::FromResources(gdiplus);
    ASSERT_NE(painter, nullptr);
    EXPECT_EQ(painter->Content().sections.size(), 6u);
    EXPECT_EQ(painter->Content().headerText, "Installation in progress");
    // The test prefix has Tahoma and an Arial stand-in; Windows has them all.
    EXPECT_NE(painter->FontFamilyName(), "");
}

TEST(PagePainterTest, TwoSuccessiveSectionsShareTheHeaderAndShowTheirOwnContent) {
    const GdiplusSession gdiplus;
    auto painter = CPagePainter::FromResources(gdiplus);
    ASSERT_NE(painter, nullptr);
    PageCapture recover, smart, picturesOnly;
    ASSERT_TRUE(painter->Paint(recover.Dc(), "Recover"));
    ASSERT_TRUE(painter->Paint(smart.Dc(), "Smart"));
    // Without fonts the painter draws the pictures alone, to compare with.
    auto bare = CPagePainter::FromResources(gdiplus, {"No Such Font Family"});
    ASSERT_NE(bare, nullptr);
    ASSERT_TRUE(bare->Paint(picturesOnly.Dc(), "Recover"));
    recover.SavePng("fallback-Recover");
    smart.SavePng("fallback-Smart");

    // The header picture, right of the header texts, exactly as stored.
    EXPECT_LT(recover.MeanDifference(picturesOnly, 460, 0, kPageWidth, kHeaderHeight), 1.0);
    EXPECT_LT(smart.MeanDifference(recover, 0, 0, kPageWidth, kHeaderHeight), 1.0);
    // The header's texts on it.
    EXPECT_GT(recover.CountInked(30, 30, 400, 85), 1000);
    // The section's picture at the left, then its texts and ticks to the right.
    EXPECT_LT(recover.MeanDifference(picturesOnly, 0, kContentTop, 260, kPageHeight), 1.0);
    EXPECT_GT(recover.CountInked(270, kContentTop, kPageWidth, kPageHeight), 1500);
    EXPECT_GT(smart.CountInked(270, kContentTop, kPageWidth, kPageHeight), 1500);
    // Each section its own content.
    EXPECT_GT(smart.MeanDifference(recover, 0, kContentTop, kPageWidth, kPageHeight), 5.0);
    // Nothing left unpainted (the capture starts magenta).
    for (int y = 0; y < kPageHeight; y += 7) {
        for (int x = 0; x < kPageWidth; x += 7) ASSERT_NE(smart.Pixel(x, y), 0xFF00FFu);
    }
}

TEST(PagePainterTest, EverySectionFitsThePanelInTheRealFont) {
    const GdiplusSession gdiplus;
    auto painter = CPagePainter::FromResources(gdiplus);
    ASSERT_NE(painter, nullptr);
    for (const PageSection& section : painter->Content().sections) {
        PageCapture capture;
        ASSERT_TRUE(painter->Paint(capture.Dc(), section.id));
        capture.SavePng("fallback-" + section.id);
        for (const PlacedText& text : painter->LayOut(section).texts) {
            EXPECT_GT(text.box.height, 0) << text.text;
            EXPECT_LE(text.box.Bottom(), kPageHeight) << section.id << ": " << text.text;
            EXPECT_LE(text.box.Right(), kPageWidth) << section.id << ": " << text.text;
        }
    }
}

TEST(PagePainterTest, WithoutAnyFontThePicturesAreStillDrawn) {
    const GdiplusSession gdiplus;
    auto painter = CPagePainter::FromResources(gdiplus, {"No Such Font Family", ""});
    ASSERT_NE(painter, nullptr);
    EXPECT_EQ(painter->FontFamilyName(), "");
    PageCapture capture;
    ASSERT_TRUE(painter->Paint(capture.Dc(), "Home"));
    // Texts left and right of the ticks' column are missing.
    EXPECT_EQ(capture.CountInked(260, kContentTop, 330, kPageHeight), 0);
    EXPECT_EQ(capture.CountInked(350, kContentTop, kPageWidth, kPageHeight), 0);
    EXPECT_EQ(capture.CountInked(30, 30, 450, 85), 0);
    EXPECT_GT(capture.CountInked(0, kContentTop, 260, kPageHeight), 5000);
    // An unknown section leaves a white page.
    EXPECT_FALSE(painter->Paint(capture.Dc(), "Nowhere"));
    EXPECT_EQ(capture.Pixel(100, 200), 0xFFFFFFu);
}

}  // namespace
}  // namespace zel
