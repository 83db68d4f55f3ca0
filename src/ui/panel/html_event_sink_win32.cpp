#include <mshtml.h>
#include <ocidl.h>

#include "ui/panel/html_event_sink.h"

namespace zel {

namespace {

// MinGW's libuuid lacks the document's event interface.
const IID kHtmlDocumentEvents2 = {
    0x3050f613, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};

}  // namespace

ComPtr<CHtmlEventSink> CHtmlEventSink::Connect(IHTMLDocument2* document,
                                               HtmlEventListener* listener) {
    ComPtr<CHtmlEventSink> sink;
    ComPtr<IConnectionPointContainer> points;
    if (!document || FAILED(document->QueryInterface(IID_IConnectionPointContainer,
                                                     reinterpret_cast<void**>(points.Receive())))) {
        return sink;
    }
    *sink.Receive() = new CHtmlEventSink(listener);
    if (FAILED(points->FindConnectionPoint(kHtmlDocumentEvents2, sink->source_.Receive())) ||
        FAILED(sink->source_->Advise(static_cast<IDispatch*>(sink.Get()), &sink->cookie_))) {
        sink->source_.Reset();
        sink.Reset();
    }
    return sink;
}

void CHtmlEventSink::Disconnect() {
    if (source_) {
        source_->Unadvise(cookie_);
        source_.Reset();
    }
    listener_ = nullptr;
}

HRESULT CHtmlEventSink::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch && iid != kHtmlDocumentEvents2) {
        return E_NOINTERFACE;
    }
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

ULONG CHtmlEventSink::AddRef() {
    return ULONG(InterlockedIncrement(&references_));
}

ULONG CHtmlEventSink::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return ULONG(left);
}

HRESULT CHtmlEventSink::GetTypeInfoCount(UINT* count) {
    if (count) *count = 0;
    return S_OK;
}

HRESULT CHtmlEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

HRESULT CHtmlEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT CHtmlEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters,
                               VARIANT* result, EXCEPINFO*, UINT*) {
    // Every document event carries its event object as the one argument.
    if (!listener_ || !parameters || parameters->cArgs < 1 ||
        parameters->rgvarg[0].vt != VT_DISPATCH || !parameters->rgvarg[0].pdispVal) {
        return S_OK;
    }
    ComPtr<IHTMLEventObj> event;
    ComPtr<IHTMLElement> source;
    if (FAILED(parameters->rgvarg[0].pdispVal->QueryInterface(
            IID_IHTMLEventObj, reinterpret_cast<void**>(event.Receive()))) ||
        FAILED(event->get_srcElement(source.Receive())) || !source) {
        return S_OK;
    }
    if (listener_->OnHtmlEvent(id, source.Get()) != S_FALSE) return S_OK;
    VARIANT no;
    VariantInit(&no);
    no.vt = VT_BOOL;
    no.boolVal = VARIANT_FALSE;
    event->put_returnValue(no);
    if (result) {
        VariantInit(result);
        *result = no;
    }
    return S_OK;
}

}  // namespace zel
