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
  std::uint8_t cells;  // 2 for East Asian wide and fullwidth characters, else 1
  WordClass word;
};

// The properties of any character (a code point of every plane), from one table of Unicode
// ranges; below U+007F the rules are plain ASCII.
CharacterClass ClassOf(char32_t c);

// The cells of a character other than a tab. Everything below U+1100 takes one cell, which
// the layout's fast paths rely on.
inline std::size_t WidthOf(char32_t c) { return c < 0x1100 ? 1 : ClassOf(c).cells; }

// The character that starts at offset: a surrogate pair decoded, a lone surrogate as itself.
inline char32_t CodePointAt(std::u16string_view text, std::size_t offset) {
  const char16_t c = text[offset];
  if (c < 0xD800 || c > 0xDBFF || offset + 1 >= text.size()) return c;
  const char16_t low = text[offset + 1];
  if (low < 0xDC00 || low > 0xDFFF) return c;
  return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (low - 0xDC00);
}

}  // namespace webapitest
