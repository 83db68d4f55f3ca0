// mshtml.h needs the OLE headers that WIN32_LEAN_AND_MEAN leaves out.
// clang-format off
#include <windows.h>
#include <ole2.h>
#include <mshtml.h>
// clang-format on

#include "ui/panel/page_script.h"
#include "ui/panel/system_error_text.h"
#include "ui/panel/wide_text.h"

namespace zel {

namespace {

// The argument strings of one call, freed with it.
class ScriptArguments {
  public:
    // Reversed: Invoke takes the last argument first.
    explicit ScriptArguments(const std::vector<std::string>& arguments)
        : variants_(arguments.size()) {
        const size_t count = arguments.size();
        for (size_t i = 0; i < count; ++i) {
            VARIANT& v = variants_[count - 1 - i];
            VariantInit(&v);
            const std::wstring wide = WidenText(arguments[i]);
            v.vt = VT_BSTR;
            v.bstrVal = SysAllocStringLen(wide.data(), UINT(wide.size()));
        }
    }
    ~ScriptArguments() {
        for (VARIANT& v : variants_) VariantClear(&v);
    }
    ScriptArguments(const ScriptArguments&) = delete;
    ScriptArguments& operator=(const ScriptArguments&) = delete;

    DISPPARAMS Parameters() {
        DISPPARAMS parameters = {};
        parameters.rgvarg = variants_.empty() ? nullptr : variants_.data();
        parameters.cArgs = UINT(variants_.size());
        return parameters;
    }

  private:
    std::vector<VARIANT> variants_;
};

void FreeExceptionTexts(EXCEPINFO& exception) {
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
}

}  // namespace

void CPageScript::SetDocument(IHTMLDocument2* document) {
    if (document == document_.Get()) return;
    if (document) document->AddRef();
    *document_.Receive() = document;
}

bool CPageScript::CallScriptFunction(const std::string& name,
                                     const std::vector<std::string>& arguments, VARIANT* result) {
    if (!document_) {
        RecordError(kScriptNoDocument);
        RecordError(kScriptNoScriptObject);
        return false;
    }
    ComPtr<IDispatch> script;
    if (FAILED(document_->get_Script(script.Receive())) || !script) {
        RecordError(kScriptNoScriptObject);
        return false;
    }
    return InvokeScriptFunction(script.Get(), name, arguments, result, *this);
}

bool InvokeScriptFunction(IDispatch* script, const std::string& name,
                          const std::vector<std::string>& arguments, VARIANT* result,
                          ScriptErrorRecord& errors) {
    std::wstring wideName = WidenText(name);
    LPOLESTR names[] = {&wideName[0]};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = script->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id);
    if (FAILED(hr)) {
        errors.RecordError(SystemErrorText(std::uint32_t(hr)));
        return false;
    }

    VARIANT value;
    VariantInit(&value);
    EXCEPINFO exception = {};
    UINT badArgument = UINT(-1);
    {
        ScriptArguments args(arguments);
        DISPPARAMS parameters = args.Parameters();
        hr = script->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &parameters, &value, &exception,
                            &badArgument);
    }
    FreeExceptionTexts(exception);
    if (FAILED(hr)) {
        errors.RecordError(SystemErrorText(std::uint32_t(hr)));
        VariantClear(&value);
        return false;
    }
    if (result) VariantCopy(result, &value);
    VariantClear(&value);
    return true;
}

}  // namespace zel
