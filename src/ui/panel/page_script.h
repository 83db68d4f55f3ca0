// Calls functions of the script in the page the panel shows. Windows only.
#pragma once

// mshtml.h needs the OLE headers that WIN32_LEAN_AND_MEAN leaves out.
// clang-format off
#include <windows.h>
#include <ole2.h>
#include <oaidl.h>
#include <mshtml.h>
// clang-format on

#include <string>
#include <vector>

#include "sys/win32_handles.h"
#include "ui/panel/script_error_record.h"

namespace zel {

class CPageScript : public ScriptErrorRecord {
  public:
    CPageScript() = default;
    virtual ~CPageScript() = default;
    CPageScript(const CPageScript&) = delete;
    CPageScript& operator=(const CPageScript&) = delete;

    // Keeps a counted reference to the loaded page (null: none).
    void SetDocument(IHTMLDocument2* document);
    bool HasDocument() const { return bool(document_); }

    // Calls the page's script function `name` with text arguments, in the
    // order given. False with the reason recorded (LastError) when the page,
    // its script or the function is missing or the call fails. `result`, when
    // given, must be an initialised VARIANT; it receives the function's value.
    bool CallScriptFunction(const std::string& name, const std::vector<std::string>& arguments,
                            VARIANT* result = nullptr);

  private:
    ComPtr<IHTMLDocument2> document_;
};

// The call itself on a script object: the argument array is built last
// first, as IDispatch::Invoke takes it. Failures are recorded in `errors`.
bool InvokeScriptFunction(IDispatch* script, const std::string& name,
                          const std::vector<std::string>& arguments, VARIANT* result,
                          ScriptErrorRecord& errors);

}  // namespace zel
