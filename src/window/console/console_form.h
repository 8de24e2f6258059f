// The command-line twin's form: the window's boxes without a screen. It keeps what the
// procedures put in them and notes what a user would have seen of a request: the code, the
// reply, how long the library call kept the window busy, and the message boxes.
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "window/form.h"

namespace webapitest::console {

class ConsoleForm : public Form {
 public:
  ConsoleForm();  // every box with the control table's initial text, both check boxes clear

  std::u16string Text(Control box) const override;
  void SetText(Control box, std::u16string text) override;
  int Value(Control checkBox) const override;
  void SetFillColor(Control light, Rgb color) override;
  void SetFillStyle(Control light, Fill fill) override;
  void Repaint(Control light) override;
  void Focus(Control control) override;
  void ShowCritical(std::u16string_view title, std::u16string_view text) override;

  // The user's side: what the command line typed and ticked.
  void Type(Control box, std::u16string text);
  void Check(Control checkBox, bool checked);

  struct Message {
    std::u16string title, text;
  };
  // Forgets the last event's call time and messages; called before each event.
  void StartEvent();
  // How long the library call of the last event took: from the last thing the procedures
  // asked of the form while the active light was lit to the status light taking the
  // outcome's colour. Empty when no request ran.
  std::optional<std::chrono::steady_clock::duration> CallTime() const { return callTime_; }
  const std::vector<Message>& Messages() const { return messages_; }
  // Called at every operation the procedures ask of the form: between two of them lies at
  // most one library call.
  void SetOperationHook(std::function<void()> hook) { hook_ = std::move(hook); }

 private:
  // Notes the moment of each operation: the last before a library call marks its start.
  void NoteOperation() const {
    lastOperation_ = std::chrono::steady_clock::now();
    if (hook_) hook_();
  }

  std::array<std::u16string, kControlCount> texts_;
  std::array<int, kControlCount> values_{};
  std::array<Fill, kControlCount> fills_{};     // a light's fill as set
  bool activeLit_ = false;                      // the active light, as last painted
  mutable std::chrono::steady_clock::time_point lastOperation_;
  std::optional<std::chrono::steady_clock::duration> callTime_;
  std::vector<Message> messages_;
  std::function<void()> hook_;
};

}  // namespace webapitest::console
