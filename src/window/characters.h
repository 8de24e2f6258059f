// What the output pane needs to know of a character: the cells it takes and the kind of word it
// belongs to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace webapitest {

// What a double click takes together with a character: a word (letters, digits, underscores
// and marks of any script, ideographs), a run of blanks (tabs, spaces, control characters),
// or only the sign itself (punctuation, symbols).
enum class WordClass : std::uint8_t { Word, Blank, Sign };

// A character's properties in the pane's fixed-pitch font. A tab's cells depend on its column
// and are the layout's to count; a line break belongs to no word.
struct CharacterClass {
  // 2 for East Asian wide and fullwidth characters; 0 for combining marks and zero-width
  // format characters (joiners, variation selectors), drawn over the character before them
  std::uint8_t cells;
  WordClass word;
};

// The properties of any character (a code point of every plane), from one table of Unicode
// ranges; below U+007F the rules are plain ASCII.
CharacterClass ClassOf(char32_t c);

// Every character below this one takes one cell, which the layout's fast paths rely on.
constexpr char16_t kFirstUncommon = 0x0300;

// The cells of a character other than a tab; the common combining accents (U+0300 to U+036F)
// are answered without the table.
inline std::size_t WidthOf(char32_t c) {
  if (c < kFirstUncommon) return 1;
  return c <= 0x036F ? 0 : ClassOf(c).cells;
}

// The character that starts at offset: a surrogate pair decoded, a lone surrogate as itself.
inline char32_t CodePointAt(std::u16string_view text, std::size_t offset) {
  const char16_t c = text[offset];
  if (c < 0xD800 || c > 0xDBFF || offset + 1 >= text.size()) return c;
  const char16_t low = text[offset + 1];
  if (low < 0xDC00 || low > 0xDFFF) return c;
  return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (low - 0xDC00);
}

}  // namespace webapitest
