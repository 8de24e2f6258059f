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

// [first, last] ranges in order, none overlapping, each with its characters' class. The
// widths are Unicode 14's East Asian wide and fullwidth characters, with unassigned gaps
// inside wide blocks joined to them; the signs and blanks are the punctuation, symbols and
// spaces that end a word. A new property (no cell for a combining mark, say) is a new field
// of CharacterClass and rows split where its ranges cut these.
struct Range {
  char32_t first, last;
  CharacterClass property;
};
constexpr Range kRanges[] = {
    {0x007F, 0x00A0, kBlank}, {0x00A1, 0x00A9, kSign}, {0x00AB, 0x00B4, kSign}, {0x00B6, 0x00B9, kSign},
    {0x00BB, 0x00BF, kSign}, {0x00D7, 0x00D7, kSign}, {0x00F7, 0x00F7, kSign}, {0x1100, 0x115F, kWide},
    {0x2000, 0x200A, kBlank}, {0x200B, 0x206F, kSign}, {0x2190, 0x2319, kSign}, {0x231A, 0x231B, kWideSign},
    {0x231C, 0x2328, kSign}, {0x2329, 0x232A, kWideSign}, {0x232B, 0x23E8, kSign}, {0x23E9, 0x23EC, kWideSign},
    {0x23ED, 0x23EF, kSign}, {0x23F0, 0x23F0, kWideSign}, {0x23F1, 0x23F2, kSign}, {0x23F3, 0x23F3, kWideSign},
    {0x23F4, 0x25FC, kSign}, {0x25FD, 0x25FE, kWideSign}, {0x25FF, 0x2613, kSign}, {0x2614, 0x2615, kWideSign},
    {0x2616, 0x2647, kSign}, {0x2648, 0x2653, kWideSign}, {0x2654, 0x267E, kSign}, {0x267F, 0x267F, kWideSign},
    {0x2680, 0x2692, kSign}, {0x2693, 0x2693, kWideSign}, {0x2694, 0x26A0, kSign}, {0x26A1, 0x26A1, kWideSign},
    {0x26A2, 0x26A9, kSign}, {0x26AA, 0x26AB, kWideSign}, {0x26AC, 0x26BC, kSign}, {0x26BD, 0x26BE, kWideSign},
    {0x26BF, 0x26C3, kSign}, {0x26C4, 0x26C5, kWideSign}, {0x26C6, 0x26CD, kSign}, {0x26CE, 0x26CE, kWideSign},
    {0x26CF, 0x26D3, kSign}, {0x26D4, 0x26D4, kWideSign}, {0x26D5, 0x26E9, kSign}, {0x26EA, 0x26EA, kWideSign},
    {0x26EB, 0x26F1, kSign}, {0x26F2, 0x26F3, kWideSign}, {0x26F4, 0x26F4, kSign}, {0x26F5, 0x26F5, kWideSign},
    {0x26F6, 0x26F9, kSign}, {0x26FA, 0x26FA, kWideSign}, {0x26FB, 0x26FC, kSign}, {0x26FD, 0x26FD, kWideSign},
    {0x26FE, 0x2704, kSign}, {0x2705, 0x2705, kWideSign}, {0x2706, 0x2709, kSign}, {0x270A, 0x270B, kWideSign},
    {0x270C, 0x2727, kSign}, {0x2728, 0x2728, kWideSign}, {0x2729, 0x274B, kSign}, {0x274C, 0x274C, kWideSign},
    {0x274D, 0x274D, kSign}, {0x274E, 0x274E, kWideSign}, {0x274F, 0x2752, kSign}, {0x2753, 0x2755, kWideSign},
    {0x2756, 0x2756, kSign}, {0x2757, 0x2757, kWideSign}, {0x2758, 0x2794, kSign}, {0x2795, 0x2797, kWideSign},
    {0x2798, 0x27AF, kSign}, {0x27B0, 0x27B0, kWideSign}, {0x27B1, 0x27BE, kSign}, {0x27BF, 0x27BF, kWideSign},
    {0x27C0, 0x2B1A, kSign}, {0x2B1B, 0x2B1C, kWideSign}, {0x2B1D, 0x2B4F, kSign}, {0x2B50, 0x2B50, kWideSign},
    {0x2B51, 0x2B54, kSign}, {0x2B55, 0x2B55, kWideSign}, {0x2B56, 0x2BFF, kSign}, {0x2E80, 0x2FFF, kWide},
    {0x3000, 0x3000, kWideBlank}, {0x3001, 0x3003, kWideSign}, {0x3004, 0x3007, kWide},
    {0x3008, 0x3011, kWideSign}, {0x3012, 0x3013, kWide}, {0x3014, 0x301F, kWideSign}, {0x3020, 0x303E, kWide},
    {0x3041, 0x3247, kWide}, {0x3250, 0x4DBF, kWide}, {0x4E00, 0xA4C6, kWide}, {0xA960, 0xA97C, kWide},
    {0xAC00, 0xD7A3, kWide}, {0xF900, 0xFAFF, kWide}, {0xFE10, 0xFE19, kWide}, {0xFE30, 0xFE4F, kWideSign},
    {0xFE50, 0xFE6B, kWide}, {0xFF01, 0xFF0F, kWideSign}, {0xFF10, 0xFF19, kWide}, {0xFF1A, 0xFF20, kWideSign},
    {0xFF21, 0xFF3A, kWide}, {0xFF3B, 0xFF3E, kWideSign}, {0xFF3F, 0xFF3F, kWide}, {0xFF40, 0xFF40, kWideSign},
    {0xFF41, 0xFF5A, kWide}, {0xFF5B, 0xFF60, kWideSign}, {0xFF61, 0xFF65, kSign}, {0xFFE0, 0xFFE6, kWide},
    {0x16FE0, 0x1B2FB, kWide}, {0x1F004, 0x1F004, kWide}, {0x1F0CF, 0x1F0CF, kWide}, {0x1F18E, 0x1F18E, kWide},
    {0x1F191, 0x1F19A, kWide}, {0x1F200, 0x1F320, kWide}, {0x1F32D, 0x1F335, kWide}, {0x1F337, 0x1F37C, kWide},
    {0x1F37E, 0x1F393, kWide}, {0x1F3A0, 0x1F3CA, kWide}, {0x1F3CF, 0x1F3D3, kWide}, {0x1F3E0, 0x1F3F0, kWide},
    {0x1F3F4, 0x1F3F4, kWide}, {0x1F3F8, 0x1F43E, kWide}, {0x1F440, 0x1F440, kWide}, {0x1F442, 0x1F4FC, kWide},
    {0x1F4FF, 0x1F53D, kWide}, {0x1F54B, 0x1F54E, kWide}, {0x1F550, 0x1F567, kWide}, {0x1F57A, 0x1F57A, kWide},
    {0x1F595, 0x1F596, kWide}, {0x1F5A4, 0x1F5A4, kWide}, {0x1F5FB, 0x1F64F, kWide}, {0x1F680, 0x1F6C5, kWide},
    {0x1F6CC, 0x1F6CC, kWide}, {0x1F6D0, 0x1F6D2, kWide}, {0x1F6D5, 0x1F6DF, kWide}, {0x1F6EB, 0x1F6EC, kWide},
    {0x1F6F4, 0x1F6FC, kWide}, {0x1F7E0, 0x1F7F0, kWide}, {0x1F90C, 0x1F93A, kWide}, {0x1F93C, 0x1F945, kWide},
    {0x1F947, 0x1F9FF, kWide}, {0x1FA70, 0x1FAF6, kWide}, {0x20000, 0x3FFFD, kWide},
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
