// Walking a parsed document node by node without recursion, so that any depth is safe.
#pragma once

#include <cstddef>

#include <pugixml.hpp>

namespace standin {

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
