// XPath over a reply with libxml2, loaded at the first XPath check.
#include <dlfcn.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <climits>
#include <stdexcept>

#include "app/cli/xpath.h"
#include "text/text.h"

namespace webapitest::cli {
namespace {

// The entry points used, found by name in libxml2.so.2.
struct Libxml2 {
  decltype(&xmlInitParser) initParser;
  decltype(&xmlSetStructuredErrorFunc) setStructuredErrorFunc;
  decltype(&xmlSetGenericErrorFunc) setGenericErrorFunc;
  decltype(&xmlResetLastError) resetLastError;
  decltype(&xmlReadMemory) readMemory;
  decltype(&xmlGetLastError) getLastError;
  decltype(&xmlFreeDoc) freeDoc;
  decltype(&xmlXPathNewContext) newContext;
  decltype(&xmlXPathFreeContext) freeContext;
  decltype(&xmlXPathRegisterNs) registerNs;
  decltype(&xmlXPathEval) eval;
  decltype(&xmlXPathCastToBoolean) castToBoolean;
  decltype(&xmlXPathCastToString) castToString;
  decltype(&xmlXPathFreeObject) freeObject;
  xmlFreeFunc* free;  // the library's own xmlFree, a variable
};

const xmlChar* Chars(const std::string& utf8) { return reinterpret_cast<const xmlChar*>(utf8.c_str()); }

// The library's message without its line break, UTF-8.
std::u16string Message(const xmlError* error, const char* otherwise) {
  std::string text = error && error->message ? error->message : otherwise;
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return FromUtf8(text);
}

extern "C" void Quietly(void*, xmlErrorPtr) {}
extern "C" void QuietlyToo(void*, const char*, ...) {}

class Libxml2XPath : public XPath {
 public:
  explicit Libxml2XPath(const std::vector<std::pair<std::u16string, std::u16string>>& namespaces) {
    void* module = dlopen("libxml2.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!module) throw std::runtime_error(std::string("XPath checks need libxml2: ") + dlerror());
    const auto bind = [module](auto& slot, const char* name) {
      slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(module, name));
      if (!slot) throw std::runtime_error(std::string("libxml2 has no ") + name);
    };
    bind(x_.initParser, "xmlInitParser");
    bind(x_.setStructuredErrorFunc, "xmlSetStructuredErrorFunc");
    bind(x_.setGenericErrorFunc, "xmlSetGenericErrorFunc");
    bind(x_.resetLastError, "xmlResetLastError");
    bind(x_.readMemory, "xmlReadMemory");
    bind(x_.getLastError, "xmlGetLastError");
    bind(x_.freeDoc, "xmlFreeDoc");
    bind(x_.newContext, "xmlXPathNewContext");
    bind(x_.freeContext, "xmlXPathFreeContext");
    bind(x_.registerNs, "xmlXPathRegisterNs");
    bind(x_.eval, "xmlXPathEval");
    bind(x_.castToBoolean, "xmlXPathCastToBoolean");
    bind(x_.castToString, "xmlXPathCastToString");
    bind(x_.freeObject, "xmlXPathFreeObject");
    bind(x_.free, "xmlFree");
    x_.initParser();
    // Messages go into the checks' lines instead, from the last error.
    x_.setStructuredErrorFunc(nullptr, Quietly);
    x_.setGenericErrorFunc(nullptr, QuietlyToo);
    for (const auto& [prefix, uri] : namespaces) namespaces_.emplace_back(ToUtf8(prefix), ToUtf8(uri));
  }
  ~Libxml2XPath() override { Release(); }
  void Forget() override { Release(); }

  bool Parse(const std::u16string& text, std::u16string& why) override {
    Release();
    const std::string utf8 = ToUtf8(text);
    if (utf8.size() > INT_MAX) {
      why = u"a document too large to parse";
      return false;
    }
    // The text is decoded already: its declaration's encoding no longer applies. CDATA sections
    // stay nodes of their own, as MSXML keeps them.
    x_.resetLastError();
    doc_ = x_.readMemory(utf8.data(), static_cast<int>(utf8.size()), "reply", "UTF-8",
                         XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!doc_) {
      const xmlError* error = x_.getLastError();
      why = Message(error, "not well-formed");
      if (error && error->line > 0) why = u"line " + FromUtf8(std::to_string(error->line)) + u": " + why;
      return false;
    }
    if (doc_->intSubset) {
      Release();
      why = u"a document type declaration, which XPath checks do not accept";
      return false;
    }
    context_ = x_.newContext(doc_);
    if (!context_) throw std::bad_alloc();
    context_->node = reinterpret_cast<xmlNodePtr>(doc_);
    context_->contextSize = 1;
    context_->proximityPosition = 1;
    for (const auto& [prefix, uri] : namespaces_) x_.registerNs(context_, Chars(prefix), Chars(uri));
    return true;
  }

  bool Evaluate(const std::u16string& expression, bool& truth, std::u16string& value, std::u16string& why) override {
    context_->node = reinterpret_cast<xmlNodePtr>(doc_);
    const std::string utf8 = ToUtf8(expression);
    x_.resetLastError();
    xmlXPathObjectPtr result = x_.eval(Chars(utf8), context_);
    if (!result) {
      why = Message(x_.getLastError(), "cannot be evaluated");
      return false;
    }
    truth = x_.castToBoolean(result) != 0;
    xmlChar* text = x_.castToString(result);
    value = text ? FromUtf8(reinterpret_cast<const char*>(text)) : std::u16string();
    if (text) (*x_.free)(text);
    x_.freeObject(result);
    return true;
  }

 private:
  void Release() {
    if (context_) x_.freeContext(context_);
    if (doc_) x_.freeDoc(doc_);
    context_ = nullptr;
    doc_ = nullptr;
  }

  Libxml2 x_{};
  std::vector<std::pair<std::string, std::string>> namespaces_;
  xmlDocPtr doc_ = nullptr;
  xmlXPathContextPtr context_ = nullptr;
};

}  // namespace

std::unique_ptr<XPath> XPath::Load(const std::vector<std::pair<std::u16string, std::u16string>>& namespaces) {
  return std::make_unique<Libxml2XPath>(namespaces);
}

}  // namespace webapitest::cli
