// The output pane's pixels and input apart from any window system: where its rows and cells
// lie in the client area, how far a wheel scrolls, and what a key or a menu item does. Each
// front end measures its font, names its keys, and paints where this puts things.
#pragma once

#include <array>
#include <cstddef>

#include "window/pane_model.h"

namespace webapitest {

// A rectangle in the pane's client area, in pixels (with fractions where the font's advance
// has them).
struct PaneRect {
  double left, top, width, height;
};

// A turn of the mouse wheel or a stroke on a touchpad, as the platform reports it.
struct WheelTurn {
  // A wheel's turn in 120ths of a notch, up positive, with the system's lines a notch or, when
  // the system says so, a page a notch.
  static WheelTurn Notches(int delta, double linesPerNotch, bool pagePerNotch = false) {
    return {delta, false, linesPerNotch, pagePerNotch};
  }
  // A touchpad's stroke in pixels, up positive.
  static WheelTurn Pixels(int delta) { return {delta, true, 0, false}; }

  int delta;
  bool inPixels;
  double linesPerNotch;
  bool pagePerNotch;
};

class PaneGeometry {
 public:
  static constexpr int kMargin = 2;  // pixels between the frame and the text, on every side

  // Where the text lies in the client area (a box's formatting rectangle): its distance in
  // pixels from each edge; kMargin on every side unless set.
  struct Insets {
    int left, top, right, bottom;
  };
  void SetInsets(const Insets& insets) { insets_ = insets; }
  const Insets& insets() const { return insets_; }

  // The cell of the pane's fixed-pitch font: a character's advance (a fraction of a pixel
  // where the font has one) and a row's height; each is at least 1.
  void SetCell(double width, int height);
  double cellWidth() const { return cellWidth_; }
  int rowHeight() const { return rowHeight_; }

  // The whole cells that fit a client area this many pixels wide or high, inside the margin:
  // at least 1.
  std::size_t Columns(int width) const;
  std::size_t Rows(int height) const;

  // The pane model's point at a pixel of the client area; above the text, row -1.
  PaneModel::Point PointAt(double x, double y) const;
  // Where a cell is painted, its row counted from the first row on screen as the model gives
  // it. Columns past 65,536 and rows beyond a million either way count as those, so that
  // every figure stays well inside 32 bits.
  PaneRect RectOf(const PaneModel::Cell& cell) const;
  // Paints the rows on screen: paint(run, rect) for each run of each row shown, in order.
  template <typename Paint>
  void PaintRows(const PaneModel& model, Paint paint) const {
    for (std::size_t i = 0; i < model.ShownRows(); ++i)
      for (const PaneModel::Run& run : model.RunsOf(model.top() + i))
        paint(run, RectOf({static_cast<long long>(i), run.column, run.cells}));
  }

  // The rows a turn scrolls, down positive; parts of a row too (the model adds them up).
  // `page` is the model's page, for a system that scrolls a page a notch.
  double RowsOf(const WheelTurn& turn, std::size_t page) const;

 private:
  Insets insets_{kMargin, kMargin, kMargin, kMargin};
  double cellWidth_ = 8;
  int rowHeight_ = 16;
};

// The keys the pane answers, as each front end names them from its own key codes; Copy is a
// keyboard's own Copy key.
enum class PaneKey { Other, Left, Right, Up, Down, PageUp, PageDown, Home, End, A, C, Insert, Copy };

// A front end's key code and the pane's name for it; a table of them names its keys.
struct PaneKeyName {
  long long code;
  PaneKey key;
};
template <std::size_t N>
PaneKey KeyNamed(long long code, const PaneKeyName (&names)[N]) {
  for (const PaneKeyName& name : names)
    if (name.code == code) return name.key;
  return PaneKey::Other;
}

// What a key or a menu item does in the pane. The numbers serve as menu item ids (0: none).
enum class PaneCommand { None = 0, Copy = 1, SelectAll = 2, Move = 3 };

// Carries out a key on the model: the arrows, the page keys, Home and End move the caret (with
// Control, Home and End go to the text's ends; with Shift the anchor stays); Ctrl+A selects
// everything. Returns what it did, or Copy for Ctrl+C, Ctrl+Insert and the Copy key, which
// the front end carries out on its clipboard; None for a key the pane has no use for (it is
// read-only: typing changes nothing).
PaneCommand PressKey(PaneModel& model, PaneKey key, bool control, bool shift);

// The context menu's items in order: Copy, enabled only with a selection; a separator (the
// item whose command is None); Select All. Labels mark their access keys with "&".
struct PaneMenuItem {
  PaneCommand command;
  const char16_t* label;
  bool enabled;
};
std::array<PaneMenuItem, 3> ContextMenu(const PaneModel& model);
// Carries out a menu item the user chose, as PressKey does its keys.
PaneCommand ChooseMenuItem(PaneModel& model, PaneCommand command);

}  // namespace webapitest
