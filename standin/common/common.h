// What the stand-in's library and manager share: hosts, numbers, positions, log timestamps, and
// for documents the nesting limit, printing, the top element and a walk safe at any depth.
#pragma once

#include <cstddef>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace standin {

struct HostPort {
  std::string host;  // a name, an IPv4 address, or an IPv6 address without brackets
  int port = 0;
  std::string Authority() const;  // "name:port", "[v6]:port": the authority part of a URL
};

// Reads "name:port", "1.2.3.4:port" or "[v6]:port" with a port from lowestPort to 65535; what is
// in brackets must be an IPv6 address. Anything that could change the meaning of a URL built
// from it (spaces, '/', '@', '?', '#', ...) is refused; why then says what is wrong.
std::optional<HostPort> ParseHostPort(std::string_view text, std::string& why, int lowestPort = 1);

// A whole number written with digits only (no sign, no blanks), at most max (below LONG_MAX / 10).
bool ReadNumber(std::string_view digits, long max, long& number);

// Line and column (both from 1) of a byte offset in UTF-8 text; the column counts characters.
struct Position {
  std::size_t line = 1;
  std::size_t column = 1;
};
Position PositionAt(std::string_view utf8, std::size_t offset);

// "line 3, column 7" of a byte offset ("an unknown position" for a negative one), or where a
// node begins in the text it was read from (an element at its '<').
std::string Where(std::string_view utf8, std::ptrdiff_t offset);
std::string Where(std::string_view utf8, const pugi::xml_node& node);

// The local time as the logs write it: "2026-12-08 21:39:26.123".
std::string LocalTimestamp();

// Documents nested deeper are refused: replies by the library, requests by the manager.
constexpr std::size_t kMaxNesting = 256;

// How both print XML: no declaration, attributes in single quotes.
constexpr unsigned kPrintFlags = pugi::format_no_declaration | pugi::format_attribute_single_quote;

// Collects printed XML up to a limit; past it, it keeps nothing more and says so.
struct StringWriter : pugi::xml_writer {
  explicit StringWriter(std::size_t most = std::numeric_limits<std::size_t>::max()) : limit(most) {}
  void write(const void* data, std::size_t size) override {
    over = over || size > limit - text.size();
    if (!over) text.append(static_cast<const char*>(data), size);
  }
  std::string text;
  bool over = false;
  std::size_t limit;
};

// The element `name` as the document's root or a child of it (webapirequest, webapireply).
inline pugi::xml_node TopElement(const pugi::xml_document& doc, const char* name) {
  const pugi::xml_node root = doc.document_element();
  return std::strcmp(root.name(), name) == 0 ? root : root.child(name);
}

// Visits every node of doc in document order without recursion; visit(node, depth) gets depth
// 0 for the top-level nodes, and stops the walk by returning false.
template <typename Visit>
void WalkNodes(const pugi::xml_document& doc, Visit&& visit) {
  std::size_t depth = 0;
  for (pugi::xml_node node = doc.first_child(); node;) {
    if (!visit(node, depth)) return;
    if (node.first_child()) {
      node = node.first_child();
      ++depth;
      continue;
    }
    for (; !node.next_sibling(); --depth)
      if ((node = node.parent()) == doc) return;
    node = node.next_sibling();
  }
}

}  // namespace standin
