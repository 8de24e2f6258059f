// XPath over a reply with the system's MSXML 6, through COM. ole32 and oleaut32 are loaded at
// the first XPath check, so a run without one loads neither them nor MSXML.
//
// MSXML's selectNodes evaluates only expressions whose value is a node set, so each expression
// goes through MSXML's XSLT processor instead: xsl:when's test is boolean(EXPR) and
// xsl:value-of's select is string(EXPR), for an expression of any type, with the prefixes
// bound on the stylesheet as --ns binds them.
#include <windows.h>
#include <msxml2.h>

#include <stdexcept>
#include <string>

#include "app/cli/xpath.h"
#include "text/text.h"

namespace webapitest::cli {
namespace {

// {88d96a05-f192-11d4-a65f-0040963251e5}: MSXML 6's DOMDocument60; {2933bf95-...}: IXMLDOMDocument2.
constexpr CLSID kDocument60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
constexpr IID kDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

// The prefix of the stylesheet's own elements, unlikely to meet a prefix of --ns.
constexpr const char16_t* kXsl = u"webapi-run.xsl";

struct Com {
  HRESULT(WINAPI* initialize)(void*, DWORD);
  void(WINAPI* uninitialize)();
  HRESULT(WINAPI* create)(REFCLSID, IUnknown*, DWORD, REFIID, void**);
  BSTR(WINAPI* allocString)(const OLECHAR*, UINT);
  void(WINAPI* freeString)(BSTR);
  HRESULT(WINAPI* getErrorInfo)(ULONG, IErrorInfo**);
};

template <typename Fn>
void Bind(HMODULE module, Fn& slot, const char* name) {
  slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  if (!slot) throw std::runtime_error(std::string("XPath checks need ") + name);
}

template <typename T>
void Drop(T*& object) {
  if (object) object->Release();
  object = nullptr;
}

std::u16string Escaped(std::u16string_view text) {  // for an attribute in double quotes
  std::u16string out;
  for (const char16_t c : text) {
    switch (c) {
      case u'&': out += u"&amp;"; break;
      case u'<': out += u"&lt;"; break;
      case u'"': out += u"&quot;"; break;
      case u'\t': out += u"&#9;"; break;  // references survive the normalisation of attributes
      case u'\n': out += u"&#10;"; break;
      case u'\r': out += u"&#13;"; break;
      default: out += c;
    }
  }
  return out;
}

std::u16string Trimmed(const wchar_t* text) {
  std::u16string out;
  if (text) for (; *text; ++text) out += static_cast<char16_t>(*text);
  while (!out.empty() && (out.back() == u'\r' || out.back() == u'\n' || out.back() == u' ')) out.pop_back();
  return out;
}

class MsxmlXPath : public XPath {
 public:
  explicit MsxmlXPath(const std::vector<std::pair<std::u16string, std::u16string>>& namespaces) {
    const HMODULE ole32 = LoadLibraryW(L"ole32.dll"), oleaut32 = LoadLibraryW(L"oleaut32.dll");
    if (!ole32 || !oleaut32) throw std::runtime_error("XPath checks need ole32.dll and oleaut32.dll");
    Bind(ole32, com_.initialize, "CoInitializeEx");
    Bind(ole32, com_.uninitialize, "CoUninitialize");
    Bind(ole32, com_.create, "CoCreateInstance");
    Bind(oleaut32, com_.allocString, "SysAllocStringLen");
    Bind(oleaut32, com_.freeString, "SysFreeString");
    Bind(oleaut32, com_.getErrorInfo, "GetErrorInfo");
    for (const auto& [prefix, uri] : namespaces) bindings_ += u" xmlns:" + prefix + u"=\"" + Escaped(uri) + u"\"";
    Start();
    IXMLDOMDocument2* probe = nullptr;
    const HRESULT made = com_.create(kDocument60, nullptr, CLSCTX_INPROC_SERVER, kDocument2, reinterpret_cast<void**>(&probe));
    Drop(probe);
    Forget();
    if (FAILED(made)) throw std::runtime_error("XPath checks need MSXML 6, which this system does not have");
  }
  ~MsxmlXPath() override { Forget(); }

  bool Parse(const std::u16string& text, std::u16string& why) override {
    Forget();
    Start();
    doc_ = NewDocument();
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const BSTR source = String(text);
    doc_->loadXML(source, &loaded);
    com_.freeString(source);
    if (loaded != VARIANT_TRUE) {
      IXMLDOMParseError* error = nullptr;
      BSTR reason = nullptr;
      long line = 0;
      if (SUCCEEDED(doc_->get_parseError(&error)) && error) {
        error->get_reason(&reason);
        error->get_line(&line);
      }
      why = Trimmed(reason);
      if (why.empty()) why = u"not well-formed";
      if (line > 0) why = u"line " + FromUtf8(std::to_string(line)) + u": " + why;
      if (reason) com_.freeString(reason);
      Drop(error);
      return false;
    }
    IXMLDOMDocumentType* type = nullptr;
    if (SUCCEEDED(doc_->get_doctype(&type)) && type) {
      Drop(type);
      why = u"a document type declaration, which XPath checks do not accept";
      return false;
    }
    return true;
  }

  bool Evaluate(const std::u16string& expression, bool& truth, std::u16string& value, std::u16string& why) override {
    const std::u16string x = kXsl, e = Escaped(expression);
    const std::u16string sheet = u"<" + x + u":stylesheet version=\"1.0\" xmlns:" + x +
                                 u"=\"http://www.w3.org/1999/XSL/Transform\"" + bindings_ + u"><" + x +
                                 u":output method=\"text\"/><" + x + u":template match=\"/\"><" + x + u":choose><" + x +
                                 u":when test=\"" + e + u"\">1</" + x + u":when><" + x + u":otherwise>0</" + x +
                                 u":otherwise></" + x + u":choose><" + x + u":value-of select=\"" + e + u"\"/></" + x +
                                 u":template></" + x + u":stylesheet>";
    IXMLDOMDocument2* stylesheet = NewDocument();
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const BSTR source = String(sheet);
    stylesheet->loadXML(source, &loaded);
    com_.freeString(source);
    BSTR out = nullptr;
    const HRESULT done = loaded == VARIANT_TRUE ? doc_->transformNode(stylesheet, &out) : E_INVALIDARG;
    Drop(stylesheet);
    const std::u16string result = out ? std::u16string(out, out + SysLength(out)) : std::u16string();
    if (out) com_.freeString(out);
    // A failed transformation says why through IErrorInfo; one that yields nothing at all (as
    // Wine's does for an expression it cannot compile) cannot have run the template.
    if (FAILED(done) || result.empty() || (result[0] != u'1' && result[0] != u'0')) {
      IErrorInfo* info = nullptr;
      BSTR description = nullptr;
      if (FAILED(done) && com_.getErrorInfo(0, &info) == S_OK && info) info->GetDescription(&description);
      why = Trimmed(description);
      if (why.empty()) why = u"not an XPath 1.0 expression with the prefixes bound by --ns";
      if (description) com_.freeString(description);
      Drop(info);
      return false;
    }
    truth = result[0] == u'1';
    value = result.substr(1);
    return true;
  }

  void Forget() override {
    Drop(doc_);
    if (started_) com_.uninitialize();
    started_ = false;
  }

 private:
  // COM on this thread for one reply. S_FALSE: it was on already (balanced all the same);
  // RPC_E_CHANGED_MODE: the library has put the thread in another apartment, which serves too.
  void Start() {
    const HRESULT hr = com_.initialize(nullptr, COINIT_MULTITHREADED);
    started_ = SUCCEEDED(hr);
  }

  IXMLDOMDocument2* NewDocument() {
    IXMLDOMDocument2* doc = nullptr;
    if (FAILED(com_.create(kDocument60, nullptr, CLSCTX_INPROC_SERVER, kDocument2, reinterpret_cast<void**>(&doc))) || !doc)
      throw std::runtime_error("MSXML 6 cannot create a document");
    doc->put_async(VARIANT_FALSE);
    doc->put_validateOnParse(VARIANT_FALSE);
    doc->put_resolveExternals(VARIANT_FALSE);
    doc->put_preserveWhiteSpace(VARIANT_TRUE);  // as XPath's data model has them
    return doc;
  }

  BSTR String(const std::u16string& text) {
    const BSTR s = com_.allocString(reinterpret_cast<const OLECHAR*>(text.c_str()), static_cast<UINT>(text.size()));
    if (!s) throw std::bad_alloc();
    return s;
  }

  // The length a BSTR carries before its characters.
  static std::size_t SysLength(BSTR s) { return reinterpret_cast<const UINT*>(s)[-1] / sizeof(OLECHAR); }

  Com com_{};
  std::u16string bindings_;
  IXMLDOMDocument2* doc_ = nullptr;
  bool started_ = false;
};

}  // namespace

std::unique_ptr<XPath> XPath::Load(const std::vector<std::pair<std::u16string, std::u16string>>& namespaces) {
  return std::make_unique<MsxmlXPath>(namespaces);
}

}  // namespace webapitest::cli
