// The command-line twin's form: the boxes' texts, the lights and the timing of a request.
#include "window/console/console_form.h"

#include <stdexcept>
#include <utility>

namespace webapitest::console {
namespace {

std::size_t Index(Control control) { return static_cast<std::size_t>(control); }

void Expect(Control control, Kind kind) {
  if (control == Control::Window || Lookup(control).kind != kind)
    throw std::invalid_argument("The control " + std::string(control == Control::Window ? "Window" : Lookup(control).name) +
                                " cannot do that.");
}

}  // namespace

ConsoleForm::ConsoleForm() {
  for (const ControlItem& item : kControls)
    if (item.kind == Kind::TextBox) texts_[Index(item.id)] = std::u16string(item.text);
  fills_.fill(Fill::Transparent);
}

std::u16string ConsoleForm::Text(Control box) const {
  Expect(box, Kind::TextBox);
  NoteOperation();
  return texts_[Index(box)];
}

void ConsoleForm::SetText(Control box, std::u16string text) {
  Expect(box, Kind::TextBox);
  NoteOperation();
  texts_[Index(box)] = std::move(text);
}

int ConsoleForm::Value(Control checkBox) const {
  Expect(checkBox, Kind::CheckBox);
  NoteOperation();
  return values_[Index(checkBox)];
}

void ConsoleForm::SetFillColor(Control light, Rgb /*color*/) {
  Expect(light, Kind::Light);
  // The first operation after the library call: the status light takes the outcome's colour.
  if (light == Control::StatusShape && activeLit_ && !callTime_)
    callTime_ = std::chrono::steady_clock::now() - lastOperation_;
  NoteOperation();
}

void ConsoleForm::SetFillStyle(Control light, Fill fill) {
  Expect(light, Kind::Light);
  NoteOperation();
  fills_[Index(light)] = fill;
}

void ConsoleForm::Repaint(Control light) {
  Expect(light, Kind::Light);
  NoteOperation();
  if (light == Control::ActiveShape) activeLit_ = fills_[Index(light)] == Fill::Solid;
}

void ConsoleForm::Focus(Control /*control*/) { NoteOperation(); }

void ConsoleForm::ShowCritical(std::u16string_view title, std::u16string_view text) {
  NoteOperation();
  messages_.push_back({std::u16string(title), std::u16string(text)});
}

void ConsoleForm::Type(Control box, std::u16string text) {
  Expect(box, Kind::TextBox);
  texts_[Index(box)] = std::move(text);
}

void ConsoleForm::Check(Control checkBox, bool checked) {
  Expect(checkBox, Kind::CheckBox);
  values_[Index(checkBox)] = checked ? 1 : 0;
}

void ConsoleForm::StartEvent() {
  callTime_.reset();
  messages_.clear();
}

}  // namespace webapitest::console
