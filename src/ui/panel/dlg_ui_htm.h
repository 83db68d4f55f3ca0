// The installation panel: the upper part of the download window, showing the
// installation page (resource 103) and changing its content area to the
// next section every 8 seconds. Where the system has no HTML engine it draws
// the same page itself from the same resources, so it is never blank.
// Windows only.
//
// The owner constructs it, calls Create(owner window) in its own
// initialisation, places it with MoveWindow(Window(), 0, 0, 641, 422, TRUE),
// shows it with ShowWindow(Window(), SW_SHOW), and passes the messages of
// its loop through PreTranslateMessage.
#pragma once

#include <memory>
#include <string>

#include "ui/gdiplus_session.h"
#include "ui/panel/child_html_dialog.h"
#include "ui/panel/page_script.h"
#include "ui/panel/panel_timings.h"
#include "ui/panel/section_rotation.h"

namespace zel {

class CPagePainter;

class CDlgUIHTM : public CChildHtmlDialog {
  public:
    static constexpr UINT_PTR kRotationTimer = 100;

    // The page is drawn with gdiplus until an HTML engine shows it: it must
    // outlive the panel.
    explicit CDlgUIHTM(const GdiplusSession& gdiplus, const PanelTimings& timings = PanelTimings());
    ~CDlgUIHTM() override;

    // The section the rotation moved to last ("Protect" before the first step).
    const std::string& CurrentSection() const { return rotation_.Current(); }
    const CPageScript& PageScript() const { return pageScript_; }
    // The loaded page's document, as the document-complete notification
    // hands it over (null: none loaded); tests hand over one of their own.
    void TakeDocument(IHTMLDocument2* document);
    // The painter that stands in for the HTML engine (from creation until
    // the engine's probe has found one); null while the engine shows the page.
    const CPagePainter* Painter() const { return painter_.get(); }
    // The section the painter shows (the page opens on "Home").
    const std::string& PaintedSection() const { return paintedSection_; }

  protected:
    BOOL OnInitDialog() override;
    void OnDocumentComplete() override;
    void ReleasePageReferences() override;
    void OnBrowserCreated() override;
    void OnTimer(UINT_PTR id) override;
    void OnPaint(HDC dc) override;
    const HtmlEventMap& EventMap() const override;
    HRESULT RunEventHandler(HtmlEventHandler handler, IHTMLElement* element) override;

  private:
    const GdiplusSession& gdiplus_;
    CPageScript pageScript_;
    SectionRotation rotation_;
    std::unique_ptr<CPagePainter> painter_;
    std::string paintedSection_ = "Home";
};

}  // namespace zel
