#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/panel/page_script.h"
#include "ui/panel/system_error_text.h"
#include "ui/panel/wide_text.h"

namespace zel {
namespace {

// A script object with one function; it keeps what each call brought.
class FakeScript : public IDispatch {
  public:
    HRESULT namesResult = S_OK;
    HRESULT invokeResult = S_OK;
    std::string askedName;
    LCID askedLocale = 0;
    WORD invokedAs = 0;
    std::vector<std::string> receivedInArrayOrder;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid != IID_IUnknown && iid != IID_IDispatch) return E_NOINTERFACE;
        *object = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        if (count != 1) return E_INVALIDARG;
        askedName = NarrowText(names[0]);
        askedLocale = locale;
        ids[0] = 7;
        return namesResult;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        if (id != 7) return DISP_E_MEMBERNOTFOUND;
        invokedAs = flags;
        for (UINT i = 0; i < parameters->cArgs; ++i) {
            const VARIANT& argument = parameters->rgvarg[i];
            receivedInArrayOrder.push_back(argument.vt == VT_BSTR ? NarrowText(argument.bstrVal)
                                                                  : "(not a string)");
        }
        if (FAILED(invokeResult)) return invokeResult;
        result->vt = VT_I4;
        result->lVal = 42;
        return S_OK;
    }
};

TEST(PageScriptTest, ArgumentsReachTheFunctionInTheOrderGiven) {
    FakeScript script;
    ScriptErrorRecord errors;
    VARIANT result;
    VariantInit(&result);
    ASSERT_TRUE(InvokeScriptFunction(&script, "ChangeContent", {"first", "second", "third"},
                                     &result, errors));
    EXPECT_EQ(script.askedName, "ChangeContent");
    EXPECT_EQ(script.askedLocale, LCID(0x0800));
    EXPECT_EQ(script.invokedAs, DISPATCH_METHOD);
    // IDispatch takes the last argument first.
    EXPECT_EQ(script.receivedInArrayOrder, (std::vector<std::string>{"third", "second", "first"}));
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 42);
    EXPECT_EQ(errors.LastError(), "");
}

TEST(PageScriptTest, MissingFunctionAndFailedCallRecordTheSystemsText) {
    FakeScript script;
    script.namesResult = DISP_E_UNKNOWNNAME;
    ScriptErrorRecord errors;
    EXPECT_FALSE(InvokeScriptFunction(&script, "NoSuchFunction", {"Home"}, nullptr, errors));
    EXPECT_EQ(errors.LastError(), "Script call error:\n" + SystemErrorText(DISP_E_UNKNOWNNAME));
    EXPECT_TRUE(script.receivedInArrayOrder.empty());

    script.namesResult = S_OK;
    script.invokeResult = E_FAIL;
    VARIANT result;
    VariantInit(&result);
    EXPECT_FALSE(InvokeScriptFunction(&script, "ChangeContent", {"Home"}, &result, errors));
    EXPECT_EQ(errors.LastError(), "Script call error:\n" + SystemErrorText(E_FAIL));
    EXPECT_EQ(result.vt, VT_EMPTY);
}

TEST(PageScriptTest, WithoutADocumentTheCallFailsAsNoScript) {
    CPageScript script;
    EXPECT_FALSE(script.HasDocument());
    EXPECT_FALSE(script.CallScriptFunction("ChangeContent", {"Recover"}));
    EXPECT_EQ(script.LastError(), "Script call error:\nCannot GetScript");
    script.SetDocument(nullptr);
    EXPECT_FALSE(script.HasDocument());
}

TEST(PageScriptTest, SystemErrorTextGivesTheSystemsWords) {
    const std::string text = SystemErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_NE(text, "FormatMessage Native Error");
    EXPECT_NE(text, "");
}

}  // namespace
}  // namespace zel
