// Draws the installation page without an HTML engine, from the same
// resources the engine would load: the header picture with its two lines,
// then a section's picture, heading, text and bullet rows with the tick, in
// the page's fonts and colours. Windows only (GDI+).
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/gdiplus_session.h"
#include "ui/panel/page_content.h"
#include "ui/panel/page_layout.h"

namespace zel {

class CPagePainter {
  public:
    // The page's fonts first, then what every Windows has. Where none is
    // installed the texts are left out and the pictures still drawn.
    static std::vector<std::string> DefaultFontFamilies();

    // Reads the page's texts (page 103) and pictures from the program's
    // resources; null when the page cannot be had or GDI+ is not running.
    // The painter draws with that GDI+ and must not outlive it.
    static std::unique_ptr<CPagePainter> FromResources(
        const GdiplusSession& gdiplus,
        const std::vector<std::string>& fontFamilies = DefaultFontFamilies());
    ~CPagePainter();
    CPagePainter(const CPagePainter&) = delete;
    CPagePainter& operator=(const CPagePainter&) = delete;

    const PageContent& Content() const;
    // The family texts are drawn in; empty when none could be had.
    std::string FontFamilyName() const;

    // Where everything goes with that section in the content area, measured
    // in the font drawn with.
    PageLayout LayOut(const PageSection& section) const;
    // Draws the whole 641 x 422 page at the device context's origin. False
    // when the section is unknown or GDI+ failed; the page is then white.
    bool Paint(HDC dc, const std::string& sectionId) const;

  private:
    class Parts;
    explicit CPagePainter(std::unique_ptr<Parts> parts);
    std::unique_ptr<Parts> parts_;
};

}  // namespace zel
