// The output pane's cells in pixels, its wheel, keys and context menu, for both front ends.
#include "window/pane_geometry.h"

#include <algorithm>

namespace webapitest {

void PaneGeometry::SetCell(double width, int height) {
  cellWidth_ = std::max(1.0, width);
  rowHeight_ = std::max(1, height);
}

std::size_t PaneGeometry::Columns(int width) const {
  return static_cast<std::size_t>(std::max(1, static_cast<int>((width - insets_.left - insets_.right) / cellWidth_)));
}

std::size_t PaneGeometry::Rows(int height) const {
  return static_cast<std::size_t>(std::max(1, (height - insets_.top - insets_.bottom) / rowHeight_));
}

PaneModel::Point PaneGeometry::PointAt(double x, double y) const {
  y -= insets_.top;
  return {y < 0 ? -1 : static_cast<long long>(y / rowHeight_), (x - insets_.left) / cellWidth_};
}

PaneRect PaneGeometry::RectOf(const PaneModel::Cell& cell) const {
  const auto column = static_cast<double>(std::min<std::size_t>(cell.column, 1 << 16));
  const auto row = static_cast<double>(std::clamp<long long>(cell.row, -(1 << 20), 1 << 20));
  return {insets_.left + column * cellWidth_, insets_.top + row * rowHeight_, static_cast<double>(cell.cells) * cellWidth_,
          static_cast<double>(rowHeight_)};
}

double PaneGeometry::RowsOf(const WheelTurn& turn, std::size_t page) const {
  if (turn.inPixels) return -turn.delta / static_cast<double>(rowHeight_);
  const double perNotch = turn.pagePerNotch ? static_cast<double>(page) : turn.linesPerNotch;
  return -turn.delta / 120.0 * perNotch;
}

PaneCommand PressKey(PaneModel& model, PaneKey key, bool control, bool shift) {
  using Motion = PaneModel::Motion;
  Motion motion;
  switch (key) {
    case PaneKey::C:
    case PaneKey::Insert: return control ? PaneCommand::Copy : PaneCommand::None;
    case PaneKey::Copy: return PaneCommand::Copy;
    case PaneKey::A: return control ? ChooseMenuItem(model, PaneCommand::SelectAll) : PaneCommand::None;
    case PaneKey::Left: motion = Motion::Left; break;
    case PaneKey::Right: motion = Motion::Right; break;
    case PaneKey::Up: motion = Motion::Up; break;
    case PaneKey::Down: motion = Motion::Down; break;
    case PaneKey::PageUp: motion = Motion::PageUp; break;
    case PaneKey::PageDown: motion = Motion::PageDown; break;
    case PaneKey::Home: motion = control ? Motion::TextStart : Motion::RowStart; break;
    case PaneKey::End: motion = control ? Motion::TextEnd : Motion::RowEnd; break;
    default: return PaneCommand::None;
  }
  model.Press(motion, shift);
  return PaneCommand::Move;
}

std::array<PaneMenuItem, 3> ContextMenu(const PaneModel& model) {
  return {{{PaneCommand::Copy, u"&Copy", model.HasSelection()},
           {PaneCommand::None, u"", false},
           {PaneCommand::SelectAll, u"Select &All", true}}};
}

PaneCommand ChooseMenuItem(PaneModel& model, PaneCommand command) {
  if (command == PaneCommand::SelectAll) model.SelectAll();
  return command;
}

}  // namespace webapitest
