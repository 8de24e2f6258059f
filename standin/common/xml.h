// What the stand-in's library and manager share about documents: the nesting limit, printing,
// finding the request or reply element, positions of nodes, and a walk safe at any depth.
#pragma once

#include <cstddef>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "common/text.h"

namespace standin {

// Documents nested deeper than this many elements are refused: replies by the library,
// requests by the manager.
constexpr std::size_t kMaxNesting = 256;

// How both print XML: no declaration, attributes in single quotes.
constexpr unsigned kPrintFlags = pugi::format_no_declaration | pugi::format_attribute_single_quote;

// Collects printed XML up to a limit; past it, it keeps nothing more and says so.
class StringWriter : public pugi::xml_writer {
 public:
  explicit StringWriter(std::size_t limit = std::numeric_limits<std::size_t>::max()) : limit_(limit) {}
  void write(const void* data, std::size_t size) override {
    if (over || size > limit_ - text.size()) {
      over = true;
      return;
    }
    text.append(static_cast<const char*>(data), size);
  }
  std::string text;
  bool over = false;

 private:
  std::size_t limit_;
};

// The element `name` as the document's root or a child of it, as requests hold webapirequest
// and replies webapireply.
inline pugi::xml_node TopElement(const pugi::xml_document& doc, const char* name) {
  const pugi::xml_node root = doc.document_element();
  return std::strcmp(root.name(), name) == 0 ? root : root.child(name);
}

// "line 3, column 7" where a node begins in the text it was read from (an element at its '<').
inline std::string Where(std::string_view utf8, const pugi::xml_node& node) {
  std::ptrdiff_t offset = node.offset_debug();
  if (offset > 0 && node.type() == pugi::node_element) --offset;
  return Where(utf8, offset);
}

// Visits every node of doc in document order; visit(node, depth) gets depth 0 for the
// document's top-level nodes, and stops the walk by returning false.
template <typename Visit>
void WalkNodes(const pugi::xml_document& doc, Visit&& visit) {
  std::size_t depth = 0;
  pugi::xml_node node = doc.first_child();
  while (node) {
    if (!visit(node, depth)) return;
    if (node.first_child()) {
      node = node.first_child();
      ++depth;
      continue;
    }
    while (node && !node.next_sibling()) {
      node = node.parent();
      --depth;
      if (node == doc) return;
    }
    if (node) node = node.next_sibling();
  }
}

}  // namespace standin
