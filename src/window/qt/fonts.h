// The control table's fonts as Qt fonts, with stand-ins for faces this desktop lacks.
#pragma once

#include <QFont>

#include "window/controls.h"

namespace webapitest {

// Tells Qt which installed faces stand in for "Courier New" and "MS Sans Serif": the
// metric-compatible Liberation faces first, then any fixed-pitch or sans-serif face.
// Safe to call more than once.
void RegisterFontSubstitutes();

// The window's font (WindowFont) is "MS Sans Serif" 8.25 pt. Every font is of normal weight,
// upright, neither underlined nor struck out; Courier New keeps a fixed pitch even where a
// stand-in is chosen.
QFont ToQFont(const Font& font);

}  // namespace webapitest
