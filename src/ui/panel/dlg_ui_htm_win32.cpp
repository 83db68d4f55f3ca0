#include <mshtml.h>

#include "res/resource.h"
#include "ui/panel/dlg_ui_htm.h"
#include "ui/panel/page_painter.h"

namespace zel {

CDlgUIHTM::CDlgUIHTM(const GdiplusSession& gdiplus, const PanelTimings& timings)
    : CChildHtmlDialog(IDD_INSTALLATION_PANEL, IDR_INSTALLATION_PAGE, timings), gdiplus_(gdiplus) {}

CDlgUIHTM::~CDlgUIHTM() {
    Destroy();
}

BOOL CDlgUIHTM::OnInitDialog() {
    CChildHtmlDialog::OnInitDialog();
    // The page is drawn until the engine, if there is one, shows it.
    painter_ = CPagePainter::FromResources(gdiplus_);
    SetTimer(Window(), kRotationTimer, Timings().rotationMs, nullptr);
    return TRUE;
}

void CDlgUIHTM::OnDocumentComplete() {
    CChildHtmlDialog::OnDocumentComplete();
    TakeDocument(Document().Get());
}

void CDlgUIHTM::TakeDocument(IHTMLDocument2* document) {
    if (document) {
        pageScript_.SetDocument(document);
    } else {
        pageScript_.RecordError(kScriptNoDocument);
    }
}

void CDlgUIHTM::OnBrowserCreated() {
    painter_.reset();
}

void CDlgUIHTM::ReleasePageReferences() {
    // The script caller's document belongs to the browser's OLE world.
    pageScript_.SetDocument(nullptr);
}

void CDlgUIHTM::OnTimer(UINT_PTR id) {
    if (id != kRotationTimer) return;
    const std::string& next = rotation_.Advance();
    if (painter_) {
        paintedSection_ = next;
        InvalidateRect(Window(), nullptr, FALSE);
        return;
    }
    // Its outcome is only recorded: a page not yet loaded shows its next
    // section on a later step.
    pageScript_.CallScriptFunction("ChangeContent", {next});
}

void CDlgUIHTM::OnPaint(HDC dc) {
    if (!painter_ || !painter_->Paint(dc, paintedSection_)) CChildHtmlDialog::OnPaint(dc);
}

const HtmlEventMap& CDlgUIHTM::EventMap() const {
    return PanelEventMap();
}

HRESULT CDlgUIHTM::RunEventHandler(HtmlEventHandler handler, IHTMLElement* element) {
    if (handler != HtmlEventHandler::kStopRotation) {
        return CChildHtmlDialog::RunEventHandler(handler, element);
    }
    KillTimer(Window(), kRotationTimer);
    return S_OK;
}

}  // namespace zel
