// The pane's table of Unicode ranges: cells and word classes of the characters beyond ASCII.
#include "window/characters.h"

#include <algorithm>
#include <iterator>

namespace webapitest {
namespace {

// Every character outside ASCII that the table does not name is a one-cell word character
// (letters and digits of every script, surrogates that pair nothing).
constexpr CharacterClass kWord{1, WordClass::Word};
constexpr CharacterClass kSign{1, WordClass::Sign};
constexpr CharacterClass kBlank{1, WordClass::Blank};
constexpr CharacterClass kWide{2, WordClass::Word};
constexpr CharacterClass kWideSign{2, WordClass::Sign};
constexpr CharacterClass kWideBlank{2, WordClass::Blank};
constexpr CharacterClass kMark{0, WordClass::Word};
constexpr CharacterClass kMarkSign{0, WordClass::Sign};

// [first, last] ranges in order, none overlapping, each with its characters' class: Unicode's
// East Asian wide and fullwidth characters (with the unassigned ideograph blocks) take two
// cells, combining marks and zero-width format characters none; punctuation, symbols and
// format characters are signs, spaces and controls blanks. Written by scripts/character-table.
struct Range {
  char32_t first, last;
  CharacterClass property;
};
constexpr Range kRanges[] = {
#include "window/character_ranges.inc"
};

}  // namespace

CharacterClass ClassOf(char32_t c) {
  if (c < 0x7F) {
    if (c <= U' ') return kBlank;  // tabs and control characters show as blanks
    const bool word = (c >= U'0' && c <= U'9') || (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') || c == U'_';
    return word ? kWord : kSign;
  }
  const auto after = std::upper_bound(std::begin(kRanges), std::end(kRanges), c,
                                      [](char32_t value, const Range& r) { return value < r.first; });
  if (after != std::begin(kRanges) && c <= std::prev(after)->last) return std::prev(after)->property;
  return kWord;
}

}  // namespace webapitest
