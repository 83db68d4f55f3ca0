#include <exdispid.h>
#include <mshtml.h>
#include <ocidl.h>

#include "ui/panel/web_browser_site.h"
#include "ui/panel/wide_text.h"

namespace zel {

CWebBrowserSite::CWebBrowserSite(HWND window, WebBrowserSiteEvents* events)
    : window_(window), events_(events) {}

ComPtr<CWebBrowserSite> CWebBrowserSite::Create(HWND window, WebBrowserSiteEvents* events) {
    ComPtr<CWebBrowserSite> site;
    *site.Receive() = new CWebBrowserSite(window, events);
    if (!site->Embed()) {
        site->Close();
        site.Reset();
    }
    return site;
}

bool CWebBrowserSite::Embed() {
    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(control_.Receive())))) {
        return false;
    }
    if (FAILED(control_->SetClientSite(static_cast<IOleClientSite*>(this)))) return false;
    RECT client;
    GetClientRect(window_, &client);
    if (FAILED(control_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr,
                                static_cast<IOleClientSite*>(this), 0, window_, &client))) {
        return false;
    }
    if (FAILED(control_->QueryInterface(IID_IWebBrowser2,
                                        reinterpret_cast<void**>(browser_.Receive())))) {
        return false;
    }
    // The document-complete event; without it the page is merely not scripted.
    ComPtr<IConnectionPointContainer> points;
    if (SUCCEEDED(control_->QueryInterface(IID_IConnectionPointContainer,
                                           reinterpret_cast<void**>(points.Receive()))) &&
        SUCCEEDED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, eventSource_.Receive()))) {
        if (FAILED(eventSource_->Advise(static_cast<IDispatch*>(this), &eventCookie_))) {
            eventSource_.Reset();
        }
    }
    return true;
}

ComPtr<IHTMLDocument2> CWebBrowserSite::Document() const {
    ComPtr<IHTMLDocument2> document;
    if (!browser_) return document;
    ComPtr<IDispatch> dispatch;
    if (SUCCEEDED(browser_->get_Document(dispatch.Receive())) && dispatch) {
        dispatch->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(document.Receive()));
    }
    return document;
}

bool CWebBrowserSite::Navigate(const std::string& url) {
    if (!browser_) return false;
    ScopedBstr address = MakeComString(url);
    VARIANT empty;
    VariantInit(&empty);
    return SUCCEEDED(browser_->Navigate(address.Get(), &empty, &empty, &empty, &empty));
}

void CWebBrowserSite::FitToWindow() {
    ComPtr<IOleInPlaceObject> inPlace;
    if (!control_ || FAILED(control_->QueryInterface(
                         IID_IOleInPlaceObject, reinterpret_cast<void**>(inPlace.Receive())))) {
        return;
    }
    RECT client;
    GetClientRect(window_, &client);
    inPlace->SetObjectRects(&client, &client);
}

bool CWebBrowserSite::TranslateKey(MSG* message) {
    return activeObject_ && activeObject_->TranslateAccelerator(message) == S_OK;
}

void CWebBrowserSite::Close() {
    if (eventSource_) {
        eventSource_->Unadvise(eventCookie_);
        eventSource_.Reset();
    }
    activeObject_.Reset();
    browser_.Reset();
    if (control_) {
        control_->Close(OLECLOSE_NOSAVE);
        control_->SetClientSite(nullptr);
        control_.Reset();
    }
    events_ = nullptr;
}

bool CWebBrowserSite::IsTopLevelBrowser(IDispatch* browser) const {
    if (!browser || !browser_) return false;
    ComPtr<IUnknown> theirs;
    ComPtr<IUnknown> ours;
    browser->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(theirs.Receive()));
    browser_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(ours.Receive()));
    return theirs && theirs.Get() == ours.Get();
}

// ---- IUnknown ------------------------------------------------------------

HRESULT CWebBrowserSite::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
        *object = static_cast<IOleClientSite*>(this);
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
        *object = static_cast<IOleInPlaceSite*>(this);
    } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
        *object = static_cast<IOleInPlaceFrame*>(this);
    } else if (iid == IID_IDocHostUIHandler) {
        *object = static_cast<IDocHostUIHandler*>(this);
    } else if (iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) {
        *object = static_cast<IDispatch*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG CWebBrowserSite::AddRef() {
    return ULONG(InterlockedIncrement(&references_));
}

ULONG CWebBrowserSite::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return ULONG(left);
}

// ---- IOleClientSite ------------------------------------------------------

HRESULT CWebBrowserSite::SaveObject() {
    return E_NOTIMPL;
}

HRESULT CWebBrowserSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT CWebBrowserSite::GetContainer(IOleContainer** container) {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
}

HRESULT CWebBrowserSite::ShowObject() {
    return S_OK;
}
HRESULT CWebBrowserSite::OnShowWindow(WINBOOL) {
    return S_OK;
}
HRESULT CWebBrowserSite::RequestNewObjectLayout() {
    return E_NOTIMPL;
}

// ---- IOleWindow, IOleInPlaceSite -----------------------------------------

HRESULT CWebBrowserSite::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = window_;
    return S_OK;
}

HRESULT CWebBrowserSite::ContextSensitiveHelp(WINBOOL) {
    return E_NOTIMPL;
}
HRESULT CWebBrowserSite::CanInPlaceActivate() {
    return S_OK;
}
HRESULT CWebBrowserSite::OnInPlaceActivate() {
    return S_OK;
}
HRESULT CWebBrowserSite::OnUIActivate() {
    return S_OK;
}

HRESULT CWebBrowserSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                          LPRECT position, LPRECT clip,
                                          LPOLEINPLACEFRAMEINFO info) {
    if (!frame || !document || !position || !clip || !info) return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    GetClientRect(window_, position);
    *clip = *position;
    info->fMDIApp = FALSE;
    info->hwndFrame = window_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

HRESULT CWebBrowserSite::Scroll(SIZE) {
    return E_NOTIMPL;
}
HRESULT CWebBrowserSite::OnUIDeactivate(WINBOOL) {
    return S_OK;
}
HRESULT CWebBrowserSite::OnInPlaceDeactivate() {
    return S_OK;
}
HRESULT CWebBrowserSite::DiscardUndoState() {
    return E_NOTIMPL;
}
HRESULT CWebBrowserSite::DeactivateAndUndo() {
    return E_NOTIMPL;
}

HRESULT CWebBrowserSite::OnPosRectChange(LPCRECT position) {
    ComPtr<IOleInPlaceObject> inPlace;
    if (position && control_ &&
        SUCCEEDED(control_->QueryInterface(IID_IOleInPlaceObject,
                                           reinterpret_cast<void**>(inPlace.Receive())))) {
        inPlace->SetObjectRects(position, position);
    }
    return S_OK;
}

// ---- IOleInPlaceUIWindow, IOleInPlaceFrame -------------------------------

HRESULT CWebBrowserSite::GetBorder(LPRECT) {
    return INPLACE_E_NOTOOLSPACE;
}
HRESULT CWebBrowserSite::RequestBorderSpace(LPCBORDERWIDTHS) {
    return INPLACE_E_NOTOOLSPACE;
}
HRESULT CWebBrowserSite::SetBorderSpace(LPCBORDERWIDTHS) {
    return OLE_E_INVALIDRECT;
}

HRESULT CWebBrowserSite::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) {
    if (object) object->AddRef();
    *activeObject_.Receive() = object;
    return S_OK;
}

HRESULT CWebBrowserSite::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) {
    return E_NOTIMPL;
}
HRESULT CWebBrowserSite::SetMenu(HMENU, HOLEMENU, HWND) {
    return S_OK;
}
HRESULT CWebBrowserSite::RemoveMenus(HMENU) {
    return E_NOTIMPL;
}
HRESULT CWebBrowserSite::SetStatusText(LPCOLESTR) {
    return S_OK;
}
HRESULT CWebBrowserSite::EnableModeless(WINBOOL) {
    return S_OK;
}
HRESULT CWebBrowserSite::TranslateAccelerator(LPMSG, WORD) {
    return S_FALSE;
}

// ---- IDocHostUIHandler ---------------------------------------------------

// Handled by showing nothing: the browser's own menu never appears.
HRESULT CWebBrowserSite::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) {
    return S_OK;
}

HRESULT CWebBrowserSite::GetHostInfo(DOCHOSTUIINFO* info) {
    if (!info) return E_POINTER;
    info->cbSize = sizeof(DOCHOSTUIINFO);
    info->dwFlags = hostFlags_;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    info->pchHostCss = nullptr;
    info->pchHostNS = nullptr;
    return S_OK;
}

HRESULT CWebBrowserSite::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*,
                                IOleInPlaceFrame*, IOleInPlaceUIWindow*) {
    return S_OK;
}

HRESULT CWebBrowserSite::HideUI() {
    return S_OK;
}
HRESULT CWebBrowserSite::UpdateUI() {
    return S_OK;
}
HRESULT CWebBrowserSite::OnDocWindowActivate(WINBOOL) {
    return S_OK;
}
HRESULT CWebBrowserSite::OnFrameWindowActivate(WINBOOL) {
    return S_OK;
}
HRESULT CWebBrowserSite::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, WINBOOL) {
    return S_OK;
}
HRESULT CWebBrowserSite::TranslateAccelerator(LPMSG, const GUID*, DWORD) {
    return S_FALSE;
}

HRESULT CWebBrowserSite::GetOptionKeyPath(LPOLESTR* key, DWORD) {
    if (key) *key = nullptr;
    return S_FALSE;
}

// "Supplied" with no target at all: nothing can be dropped onto the page.
HRESULT CWebBrowserSite::GetDropTarget(IDropTarget*, IDropTarget** target) {
    if (target) *target = nullptr;
    return S_OK;
}

HRESULT CWebBrowserSite::GetExternal(IDispatch** external) {
    if (external) *external = nullptr;
    return S_FALSE;
}

HRESULT CWebBrowserSite::TranslateUrl(DWORD, LPWSTR, LPWSTR* translated) {
    if (translated) *translated = nullptr;
    return S_FALSE;
}

HRESULT CWebBrowserSite::FilterDataObject(IDataObject*, IDataObject** replacement) {
    if (replacement) *replacement = nullptr;
    return S_FALSE;
}

// ---- IDispatch: the control's events -------------------------------------

HRESULT CWebBrowserSite::GetTypeInfoCount(UINT* count) {
    if (count) *count = 0;
    return S_OK;
}

HRESULT CWebBrowserSite::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

HRESULT CWebBrowserSite::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT CWebBrowserSite::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT*,
                                EXCEPINFO*, UINT*) {
    // DocumentComplete(pDisp, URL): arguments arrive last first.
    if (id != DISPID_DOCUMENTCOMPLETE || !parameters || parameters->cArgs < 2) return S_OK;
    const VARIANT& source = parameters->rgvarg[1];
    IDispatch* browser = nullptr;
    if (source.vt == VT_DISPATCH) browser = source.pdispVal;
    if (source.vt == (VT_DISPATCH | VT_BYREF) && source.ppdispVal) browser = *source.ppdispVal;
    if (events_ && IsTopLevelBrowser(browser)) events_->OnBrowserDocumentComplete();
    return S_OK;
}

}  // namespace zel
