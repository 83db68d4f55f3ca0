#include <mshtml.h>
#include <shellapi.h>

#include <vector>

#include "ui/control_colour.h"
#include "ui/key_filter.h"
#include "ui/panel/child_html_dialog.h"
#include "ui/panel/html_engine_probe.h"
#include "ui/panel/wide_text.h"

namespace zel {

CChildHtmlDialog::CChildHtmlDialog(int templateId, int htmlResourceId, const PanelTimings& timings)
    : templateId_(templateId), htmlResourceId_(htmlResourceId), timings_(timings) {}

CChildHtmlDialog::~CChildHtmlDialog() {
    Destroy();
}

bool CChildHtmlDialog::Create(HWND parent) {
    if (window_) return false;
    CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), parent,
                       &CChildHtmlDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    return bool(window_);  // set while the dialog initialised
}

void CChildHtmlDialog::Destroy() {
    window_.Reset();
}

bool CChildHtmlDialog::PreTranslateMessage(MSG* message) {
    std::uintptr_t key = message->wParam;
    const KeyFilterResult filtered = FilterDialogKey(message->message, key);
    message->wParam = WPARAM(key);
    if (filtered == KeyFilterResult::kNotHandled) return false;
    // Keys typed into the page are the browser's to act on first.
    const bool forPage = message->hwnd == window_.Get() || IsChild(window_.Get(), message->hwnd);
    if (site_ && forPage && message->message >= WM_KEYFIRST && message->message <= WM_KEYLAST &&
        site_->TranslateKey(message)) {
        return true;
    }
    return window_ && IsDialogMessageA(window_.Get(), message);
}

ComPtr<IHTMLDocument2> CChildHtmlDialog::Document() const {
    return site_ ? site_->Document() : ComPtr<IHTMLDocument2>();
}

// ---- Window --------------------------------------------------------------

INT_PTR CALLBACK CChildHtmlDialog::DialogProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    CChildHtmlDialog* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<CChildHtmlDialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        dialog->window_.Reset(window);
    } else {
        dialog = reinterpret_cast<CChildHtmlDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    }
    if (!dialog) return FALSE;  // messages before WM_INITDIALOG
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        dialog->window_.Release();
        return FALSE;
    }
    return dialog->HandleMessage(message, wParam, lParam);
}

INT_PTR CChildHtmlDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    // A stock object: it lives as long as the system and is never freed.
    if (IsControlColourRequest(message))
        return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    if (message == kEngineAnswerMessage) {
        engineAnswered_ = true;
        if (wParam && !site_) CreateBrowser();
        return TRUE;
    }
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_DROPFILES:
            DragFinish(reinterpret_cast<HDROP>(wParam));  // dropped files are ignored
            RefuseDrops();
            return TRUE;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            return TRUE;  // swallowed
        case WM_ERASEBKGND:
            SetWindowLongPtrA(window_.Get(), DWLP_MSGRESULT, 0);  // not erased
            return TRUE;
        case WM_PAINT:
            return Paint();
        case WM_PRINTCLIENT:
            if (site_) return FALSE;
            OnPaint(reinterpret_cast<HDC>(wParam));
            return TRUE;
        case WM_SIZE:
            if (site_) site_->FitToWindow();
            return FALSE;
        case WM_TIMER:
            OnTimer(wParam);
            return FALSE;
        case WM_COMMAND:
            // The panel is a child of the main dialog and has nothing to
            // close: Enter and Escape reaching it are taken and end nothing
            // (the dialog manager would otherwise hide a modeless dialog).
            return LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL;
        case WM_DESTROY:
            ReleaseBrowser();
            return FALSE;
        default:
            return FALSE;
    }
}

INT_PTR CChildHtmlDialog::Paint() {
    if (site_) return FALSE;  // the browser covers the whole dialog
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_.Get(), &paint);
    if (dc) OnPaint(dc);
    EndPaint(window_.Get(), &paint);
    return TRUE;
}

void CChildHtmlDialog::OnPaint(HDC dc) {
    RECT client;
    GetClientRect(window_.Get(), &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

void CChildHtmlDialog::OnTimer(UINT_PTR) {}

// ---- Browser -------------------------------------------------------------

BOOL CChildHtmlDialog::OnInitDialog() {
    StartEngineProbe();
    return TRUE;
}

void CChildHtmlDialog::StartEngineProbe() {
    // OLE is the panel's for as long as its window lives, engine or not:
    // whatever the page hands out is released before it is shut down.
    ole_.Reset(SUCCEEDED(OleInitialize(nullptr)));
    // The probe may take long, or hang where Wine offers to download its
    // engine: its answer comes as a message, and until then (or for good)
    // the dialog has no browser.
    if (!ProbeHtmlEngine(window_.Get(), kEngineAnswerMessage)) engineAnswered_ = true;
}

void CChildHtmlDialog::CreateBrowser() {
    site_ = CWebBrowserSite::Create(window_.Get(), this);
    if (!site_) return;
    // Settled before the page is asked for, so that its document starts
    // with them: navigation is asynchronous, but not every engine waits.
    site_->SetHostFlags(kHostFlags);
    RefuseDrops();
    site_->Navigate(PageAddress());
    OnBrowserCreated();
}

void CChildHtmlDialog::RefuseDrops() {
    DragAcceptFiles(window_.Get(), FALSE);
    if (IWebBrowser2* browser = Browser()) {
        browser->put_RegisterAsDropTarget(VARIANT_FALSE);
        browser->put_RegisterAsBrowser(VARIANT_FALSE);
    }
}

void CChildHtmlDialog::ReleaseBrowser() {
    ReleasePageReferences();
    if (pageEvents_) {
        pageEvents_->Disconnect();
        pageEvents_.Reset();
    }
    if (site_) {
        site_->Close();
        site_.Reset();
    }
    ole_.Reset();
}

// res://<the program's full path>/<resource id>: relative names in the page
// resolve against it to the program's other resources.
std::string CChildHtmlDialog::PageAddress() const {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), DWORD(path.size()));
        if (length == 0) return std::string();
        if (length < path.size()) break;
        path.resize(path.size() * 2);
    }
    return "res://" + std::string(path.data()) + "/" + std::to_string(htmlResourceId_);
}

void CChildHtmlDialog::OnBrowserDocumentComplete() {
    OnDocumentComplete();
}

void CChildHtmlDialog::OnDocumentComplete() {
    if (pageEvents_) {
        pageEvents_->Disconnect();
        pageEvents_.Reset();
    }
    ComPtr<IHTMLDocument2> document = Document();
    pageEvents_ = CHtmlEventSink::Connect(document.Get(), this);
}

// ---- Page events ---------------------------------------------------------

const HtmlEventMap& CChildHtmlDialog::EventMap() const {
    return ChildDialogEventMap();
}

HRESULT CChildHtmlDialog::OnHtmlEvent(DISPID event, IHTMLElement* source) {
    BSTR id = nullptr;
    BSTR tag = nullptr;
    source->get_id(&id);
    source->get_tagName(&tag);
    const ScopedBstr ownedId(id);
    const ScopedBstr ownedTag(tag);
    const HtmlEventEntry* entry =
        FindHtmlEventEntry(EventMap(), event, NarrowText(id), NarrowText(tag));
    return entry ? RunEventHandler(entry->handler, source) : S_OK;
}

HRESULT CChildHtmlDialog::RunEventHandler(HtmlEventHandler handler, IHTMLElement* element) {
    switch (handler) {
        case HtmlEventHandler::kTraceSelectStart:
        case HtmlEventHandler::kTraceDragStart:
        case HtmlEventHandler::kTraceContextMenu:
            return TraceAndCancelUnlessTextEdit(handler, element);
        // The page's OK and Cancel buttons have nothing to close either.
        case HtmlEventHandler::kOkUnlessEscapeHeld:
        case HtmlEventHandler::kCancelUnlessEscapeHeld:
        case HtmlEventHandler::kOk:
        case HtmlEventHandler::kStopRotation:
            return S_OK;
    }
    return S_OK;
}

// Selection, dragging and the context menu stay possible in text fields only.
HRESULT CChildHtmlDialog::TraceAndCancelUnlessTextEdit(HtmlEventHandler handler,
                                                       IHTMLElement* element) {
    BSTR tag = nullptr;
    if (SUCCEEDED(element->get_tagName(&tag))) {
        const ScopedBstr ownedTag(tag);
        OutputDebugStringA(HtmlEventTrace(handler, NarrowText(tag)).c_str());
    }
    VARIANT_BOOL editsText = VARIANT_FALSE;
    if (SUCCEEDED(element->get_isTextEdit(&editsText)) && editsText != VARIANT_FALSE) return S_OK;
    return S_FALSE;
}

}  // namespace zel
