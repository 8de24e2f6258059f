// XPath 1.0 over a reply, through the system's XML library: libxml2 on Linux (loaded at the
// first use, so that runs without an XPath check never load it), MSXML 6 through COM on
// Windows (its XSLT processor, which evaluates any expression, not only node sets). Both are
// full XPath 1.0 implementations with namespace bindings, so an expression means the same on
// both. Where MSXML's document model departs from XPath's, Linux follows MSXML: a CDATA
// section stays a text node of its own. They differ in their messages, and in how they print
// numbers that have no short decimal form (libxml2 gives 15 significant digits).
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace webapitest::cli {

class XPath {
 public:
  // Loads the library and binds each prefix to its URI. Throws std::runtime_error (UTF-8 text)
  // when the library cannot be loaded.
  static std::unique_ptr<XPath> Load(const std::vector<std::pair<std::u16string, std::u16string>>& namespaces);
  virtual ~XPath() = default;

  // Parses a document as the one the following expressions apply to. A document type
  // declaration is refused on every platform (the XML libraries differ in what they make of
  // one). False when the text is not a well-formed XML document: why says where and what.
  virtual bool Parse(const std::u16string& text, std::u16string& why) = 0;
  // Evaluates an expression with the document's root as the context node (position 1 of 1):
  // truth is boolean(expression), value is string(expression). False when the expression
  // cannot be evaluated (not XPath 1.0, an unbound prefix, an unknown function): why says why.
  virtual bool Evaluate(const std::u16string& expression, bool& truth, std::u16string& value, std::u16string& why) = 0;
  // Lets go of the document and, on Windows, of COM on this thread (the library's thread)
  // until the next Parse, so that nothing of it stays there during library calls.
  virtual void Forget() = 0;
};

}  // namespace webapitest::cli
