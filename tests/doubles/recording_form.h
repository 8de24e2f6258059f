// A window without a screen: keeps each control's state and records every operation in order,
// so the procedures can be tested without a front end.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "window/form.h"
#include "window/shell.h"

namespace webapitest::testing {

struct LightState {
  Rgb color = 0;
  Fill fill = Fill::Transparent;
  Rgb paintedColor = 0;                  // what the last Repaint put on the screen
  Fill paintedFill = Fill::Transparent;
  bool Lit(Rgb expected) const { return paintedFill == Fill::Solid && paintedColor == expected; }
  bool Dark() const { return paintedFill == Fill::Transparent; }
};

class RecordingForm : public Form {
 public:
  RecordingForm();  // every control as the control table starts it

  std::u16string Text(Control box) const override;
  void SetText(Control box, std::u16string text) override;
  int Value(Control checkBox) const override;
  void SetFillColor(Control light, Rgb color) override;
  void SetFillStyle(Control light, Fill fill) override;
  void Repaint(Control light) override;
  void Focus(Control control) override;
  void ShowCritical(std::u16string_view title, std::u16string_view text) override;

  // The user's side.
  void Type(Control box, std::u16string text) { texts[box] = std::move(text); }
  void Check(Control box, int value) { values[box] = value; }

  std::map<Control, std::u16string> texts;
  std::map<Control, int> values;
  std::map<Control, LightState> lights;
  Control focus = Control::host;
  struct Box {
    std::u16string title, text;
  };
  std::vector<Box> boxes;          // message boxes shown, in order
  std::vector<std::string> log;    // every operation, e.g. "SetText status 0", "Repaint ActiveShape"
};

// A shell that remembers the paths it was asked to open.
class RecordingShell : public Shell {
 public:
  explicit RecordingShell(std::vector<std::u16string>& opened) : opened_(opened) {}
  void Open(std::u16string_view path) override { opened_.emplace_back(path); }

 private:
  std::vector<std::u16string>& opened_;
};

}  // namespace webapitest::testing
