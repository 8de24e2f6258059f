// What the output pane knows of characters: their cells and the words they belong to.
#include <gtest/gtest.h>

#include "window/characters.h"

namespace webapitest {
namespace {

TEST(Characters, WidthsFollowTheEastAsianTable) {
  for (const char32_t narrow : {U'a', U'\u00E9', U'\u0416', U'\u2500', U'\uFF61', U'\U0001D400'})
    EXPECT_EQ(WidthOf(narrow), 1u) << static_cast<unsigned>(narrow);
  for (const char32_t wide : {U'\u1100', U'\u3000', U'\u3042', U'\u4E00', U'\uAC00', U'\uFF21', U'\U0001F600',
                              U'\U00020000', U'\U0003FFFD'})
    EXPECT_EQ(WidthOf(wide), 2u) << static_cast<unsigned>(wide);
  for (const char32_t mark : {U'\u0301', U'\u0483', U'\u0488', U'\u05B0', U'\u0900', U'\u20DD', U'\u200B',
                              U'\u200D', U'\u2060', U'\uFE0F', U'\uFEFF', U'\U0001D167', U'\U000E0100'})
    EXPECT_EQ(WidthOf(mark), 0u) << static_cast<unsigned>(mark);
}

}  // namespace
}  // namespace webapitest
