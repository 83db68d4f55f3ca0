// A borderless child dialog that shows one HTML page from the program's
// resources in the system's browser control and keeps the user from treating
// it as a browser: no text selection, context menu, file dropping, refresh or
// Escape key, no scroll bars or border, a white background. Where the system
// has no HTML engine (found by a real probe at creation) the dialog has no
// browser and a derived class paints it instead. Windows only.
#pragma once

// mshtml.h needs the OLE headers that WIN32_LEAN_AND_MEAN leaves out.
// clang-format off
#include <windows.h>
#include <ole2.h>
#include <mshtml.h>
// clang-format on

#include "sys/win32_handles.h"
#include "ui/panel/html_event_map.h"
#include "ui/panel/html_event_sink.h"
#include "ui/panel/panel_timings.h"
#include "ui/panel/web_browser_site.h"

namespace zel {

namespace handle_traits {
// One OLE initialisation of the calling thread (the handle says whether it
// took place and so must be undone).
struct OleInitialization {
    using Handle = bool;
    static Handle Empty() { return false; }
    static void Free(Handle) { OleUninitialize(); }
};
}  // namespace handle_traits

class CChildHtmlDialog : private WebBrowserSiteEvents, private HtmlEventListener {
  public:
    // Dialog DOCHOSTUIFLAG_DIALOG | DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO:
    // text cannot be selected, no 3-D border, no scroll bars.
    static constexpr DWORD kHostFlags = 1 | 4 | 8;

    // The probe's answer whether the system has an HTML engine (wParam 1 or 0).
    static constexpr UINT kEngineAnswerMessage = WM_APP + 2;

    CChildHtmlDialog(int templateId, int htmlResourceId, const PanelTimings& timings);
    virtual ~CChildHtmlDialog();
    CChildHtmlDialog(const CChildHtmlDialog&) = delete;
    CChildHtmlDialog& operator=(const CChildHtmlDialog&) = delete;

    // Creates the dialog from its template as a modeless child of `parent`,
    // hidden until the owner shows it. False when the window could not be made.
    bool Create(HWND parent);
    HWND Window() const { return window_.Get(); }
    // The browser is made when the probe, started at creation, finds an
    // engine: the window's thread never waits for the probe.
    bool HasBrowser() const { return bool(site_); }
    bool EngineAnswered() const { return engineAnswered_; }

    // For the owner's message loop, before it translates and dispatches a
    // message: the key filter (which may change the message's key code),
    // then the browser's accelerators and the dialog manager. True when the
    // message was handled and must not be dispatched.
    virtual bool PreTranslateMessage(MSG* message);

  protected:
    virtual BOOL OnInitDialog();
    // The page has loaded; the base connects its events to the event map.
    virtual void OnDocumentComplete();
    // Every timer message also gets the default processing afterwards.
    virtual void OnTimer(UINT_PTR id);
    // Paints the dialog when it has no browser; the base paints it white.
    virtual void OnPaint(HDC dc);
    // The window is going: a derived class lets go of every reference it
    // holds into the page here, before the browser closes and OLE is shut
    // down for the thread.
    virtual void ReleasePageReferences() {}
    // The browser has been made and shows the page from now on.
    virtual void OnBrowserCreated() {}
    virtual const HtmlEventMap& EventMap() const;
    virtual HRESULT RunEventHandler(HtmlEventHandler handler, IHTMLElement* element);

    const PanelTimings& Timings() const { return timings_; }
    IWebBrowser2* Browser() const { return site_ ? site_->Browser() : nullptr; }
    ComPtr<IHTMLDocument2> Document() const;
    // Destroys the window now; derived classes call it from their destructor
    // so that the window's last messages still reach them.
    void Destroy();

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Paint();
    void StartEngineProbe();
    void CreateBrowser();
    void RefuseDrops();
    void ReleaseBrowser();
    std::string PageAddress() const;
    HRESULT TraceAndCancelUnlessTextEdit(HtmlEventHandler handler, IHTMLElement* element);

    void OnBrowserDocumentComplete() override;
    HRESULT OnHtmlEvent(DISPID event, IHTMLElement* source) override;

    const int templateId_;
    const int htmlResourceId_;
    const PanelTimings timings_;
    ScopedWindow window_;
    ScopedHandle<handle_traits::OleInitialization> ole_;
    ComPtr<CWebBrowserSite> site_;
    ComPtr<CHtmlEventSink> pageEvents_;
    bool engineAnswered_ = false;
};

}  // namespace zel
