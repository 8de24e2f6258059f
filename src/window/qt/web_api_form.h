// The window, in Qt 6 Widgets: builds its 26 controls from the control table, implements the
// Form operations the procedures call, and raises their events.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "window/form.h"

class QCloseEvent;

namespace webapitest {

class Light;

class WebApiForm : public QWidget, public Form {
 public:
  // Builds every control in its starting state; the keyboard focus waits in host.
  explicit WebApiForm(QWidget* parent = nullptr);

  // The procedures that handle the window's events; they must outlive the window's use.
  void SetEvents(FormEvents& events) { events_ = &events; }

  // Runs Form_Load. Returns false when the program should end instead of showing the window:
  // the load failed (after the critical message box), or a close was asked for meanwhile.
  bool Load();

  // Closes the window as its close button does. Safe from any event handler: while a
  // procedure runs, the close waits until it has returned, and an open message box is
  // dismissed so that it can return.
  void RequestClose();

  // 0, or 1 once an unexpected failure has ended the program.
  int ExitCode() const { return exitCode_; }

  // The widget of a control (a QLabel, QLineEdit, QPlainTextEdit, QPushButton, QCheckBox,
  // QGroupBox or Light) and the lights themselves, for the program's tests.
  QWidget* Widget(Control id) const { return widgets_[static_cast<std::size_t>(id)]; }
  const Light& LightOf(Control light) const;

  // Form.
  std::u16string Text(Control box) const override;
  void SetText(Control box, std::u16string_view text) override;
  void TakeText(Control box, std::u16string&& text) override;
  int Value(Control checkBox) const override;
  void SetFillColor(Control light, Rgb color) override;
  void SetFillStyle(Control light, Fill fill) override;
  void Repaint(Control light) override;
  void Focus(Control control) override;
  void ShowCritical(std::u16string_view title, std::u16string_view text) override;

 protected:
  // Runs Form_Unload once; the close goes ahead unless the procedure cancels it.
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* Build(const ControlItem& item);
  Light& LightAt(Control light);
  void Click(Control button);
  void ShowCriticalBox(const QString& title, const QString& text);

  // Runs an event handler at the dispatch boundary: an exception ends the program (Fail).
  // Returns false when the handler failed.
  bool Dispatch(const std::function<void()>& handler);
  // Shows the failure in a critical message box, then closes the window and leaves the event
  // loop with exit code 1.
  void Fail(const std::string& message);

  std::array<QWidget*, kControlCount> widgets_{};
  FormEvents* events_ = nullptr;
  int running_ = 0;            // event handlers under way (a message box nests them)
  bool closePending_ = false;  // a close waits for the running handler
  bool unloaded_ = false;      // Form_Unload has run
  int exitCode_ = 0;
};

}  // namespace webapitest
