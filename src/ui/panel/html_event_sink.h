// Receives the events of a loaded page (they bubble up to its document) and
// hands each one, with the element it came from, to a listener that may
// cancel the event's default action. Windows only.
#pragma once

// clang-format off
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
// clang-format on

#include "sys/win32_handles.h"

struct IHTMLDocument2;
struct IHTMLElement;

namespace zel {

class HtmlEventListener {
  public:
    // S_FALSE cancels the event's default action; S_OK lets it happen.
    virtual HRESULT OnHtmlEvent(DISPID event, IHTMLElement* source) = 0;

  protected:
    ~HtmlEventListener() = default;
};

class CHtmlEventSink final : public IDispatch {
  public:
    // Connects to the document's events; null when it offers none.
    // `listener` must outlive the sink or Disconnect().
    static ComPtr<CHtmlEventSink> Connect(IHTMLDocument2* document, HtmlEventListener* listener);
    void Disconnect();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO*, UINT*) override;

  private:
    explicit CHtmlEventSink(HtmlEventListener* listener) : listener_(listener) {}
    ~CHtmlEventSink() = default;

    LONG references_ = 1;
    HtmlEventListener* listener_;
    ComPtr<IConnectionPoint> source_;
    DWORD cookie_ = 0;
};

}  // namespace zel
