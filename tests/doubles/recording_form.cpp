// The recording form's bookkeeping.
#include "doubles/recording_form.h"

#include "text/text.h"

namespace webapitest::testing {

RecordingForm::RecordingForm() {
  for (const ControlItem& item : kControls) {
    if (item.kind == Kind::TextBox) texts[item.id] = std::u16string(item.text);
    if (item.kind == Kind::CheckBox) values[item.id] = 0;
    if (item.kind == Kind::Light) lights[item.id] = LightState{};
  }
}

std::u16string RecordingForm::Text(Control box) const { return texts.at(box); }

void RecordingForm::SetText(Control box, std::u16string text) {
  log.push_back("SetText " + std::string(Lookup(box).name) + " " + ToUtf8(text));
  texts.at(box) = std::move(text);
}

int RecordingForm::Value(Control checkBox) const { return values.at(checkBox); }

void RecordingForm::SetFillColor(Control light, Rgb color) {
  lights.at(light).color = color;
  log.push_back("SetFillColor " + std::string(Lookup(light).name) + " " + std::to_string(color));
}

void RecordingForm::SetFillStyle(Control light, Fill fill) {
  lights.at(light).fill = fill;
  log.push_back("SetFillStyle " + std::string(Lookup(light).name) +
                (fill == Fill::Solid ? " solid" : " transparent"));
}

void RecordingForm::Repaint(Control light) {
  LightState& state = lights.at(light);
  state.paintedColor = state.color;
  state.paintedFill = state.fill;
  log.push_back("Repaint " + std::string(Lookup(light).name));
}

void RecordingForm::Focus(Control control) {
  focus = control;
  log.push_back("Focus " + std::string(Lookup(control).name));
}

void RecordingForm::ShowCritical(std::u16string_view title, std::u16string_view text) {
  boxes.push_back({std::u16string(title), std::u16string(text)});
  log.push_back("ShowCritical " + ToUtf8(title));
}

}  // namespace webapitest::testing
