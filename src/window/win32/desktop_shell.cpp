// The desktop shell on Windows: the shell's automation object, Shell.Application, driven
// through IDispatch by name, as a script would.
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include "window/shell.h"
#include "window/win32/text.h"
#include "text/text.h"

namespace webapitest {
namespace {

using win32::HresultText;

// Holds the object's IDispatch and the dispatch id of its Open method. The caller's thread
// must have initialised COM (the program does it in WinMain).
class ShellApplication final : public Shell {
 public:
  ShellApplication() {
    CLSID clsid{};
    HRESULT result = CLSIDFromProgID(L"Shell.Application", &clsid);
    if (FAILED(result))
      throw std::runtime_error("The desktop shell object Shell.Application is not registered: " +
                               HresultText(result));
    result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_IDispatch, reinterpret_cast<void**>(&shell_));
    if (FAILED(result))
      throw std::runtime_error("Cannot create the desktop shell object Shell.Application: " +
                               HresultText(result));
    wchar_t name[] = L"Open";
    LPOLESTR names[] = {name};
    result = shell_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &open_);
    if (FAILED(result)) {
      shell_->Release();
      throw std::runtime_error("The desktop shell object Shell.Application has no method Open: " +
                               HresultText(result));
    }
  }
  ~ShellApplication() override { shell_->Release(); }
  ShellApplication(const ShellApplication&) = delete;
  ShellApplication& operator=(const ShellApplication&) = delete;

  void Open(std::u16string_view path) override {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_BSTR;
    argument.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(path.data()),
                                         static_cast<UINT>(path.size()));
    if (!argument.bstrVal) throw std::bad_alloc();
    DISPPARAMS parameters{&argument, nullptr, 1, 0};
    VARIANT answer;
    VariantInit(&answer);
    EXCEPINFO exception{};
    UINT badArgument = 0;
    const HRESULT result = shell_->Invoke(open_, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                          &parameters, &answer, &exception, &badArgument);
    VariantClear(&argument);
    VariantClear(&answer);
    std::string description;
    if (exception.bstrDescription)
      description = ToUtf8(win32::Utf16(std::wstring_view(exception.bstrDescription, SysStringLen(exception.bstrDescription))));
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    // S_FALSE and other success codes are the shell's own answer about the path: it has
    // already told the user whatever it has to say.
    if (FAILED(result))
      throw std::runtime_error("The desktop shell could not be asked to open " + ToUtf8(path) +
                               ": " + (description.empty() ? HresultText(result) : description));
  }

 private:
  IDispatch* shell_ = nullptr;
  DISPID open_ = DISPID_UNKNOWN;
};

}  // namespace

std::unique_ptr<Shell> CreateShell() { return std::make_unique<ShellApplication>(); }

}  // namespace webapitest
