// A 641 x 422 picture the panel's drawing goes into, read back pixel by
// pixel and kept as a PNG under the build folder for people to look at.
// Windows only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "sys/win32_handles.h"

namespace zel {

class PageCapture {
  public:
    PageCapture();
    HDC Dc() const { return dc_.Get(); }
    int Width() const { return width_; }
    int Height() const { return height_; }
    std::uint32_t Pixel(int x, int y) const;  // 0xRRGGBB
    // Fills everything with one colour, so that what a drawing left out shows.
    void Fill(std::uint32_t rgb);

    // Counts pixels in [left, right) x [top, bottom) whose colour is not
    // near white.
    int CountInked(int left, int top, int right, int bottom) const;
    // Mean difference per channel against another picture over a region.
    double MeanDifference(const PageCapture& other, int left, int top, int right, int bottom) const;

    // Written to <build folder>/panel-screenshots/<name>.png; false on failure.
    bool SavePng(const std::string& name) const;

  private:
    int width_;
    int height_;
    ScopedBitmap bitmap_;
    ScopedMemoryDc dc_;  // goes first, letting go of the bitmap
    std::uint32_t* bits_ = nullptr;
};

}  // namespace zel
