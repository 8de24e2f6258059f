// The window, in Qt 6 Widgets: builds its 26 controls from the control table, implements the
// Form operations the procedures call, and raises their events.
#pragma once

#include <QWidget>
#include <array>
#include <string>

#include "window/form.h"
#include "window/form_host.h"

class QCloseEvent;

namespace webapitest {

class Light;

class WebApiForm : public QWidget, public Form {
 public:
  // Builds every control in its starting state; the keyboard focus waits in host.
  explicit WebApiForm(QWidget* parent = nullptr);

  // The procedures that handle the window's events; they must outlive the window's use.
  void SetEvents(FormEvents& events) { host_.SetEvents(&events); }

  // Runs Form_Load. Returns false when the program should end instead of showing the window:
  // the load failed (after the critical message box), or a close was asked for meanwhile.
  bool Load();

  // Closes the window as its close button does. Safe from any event handler: while a
  // procedure runs, the close waits until it has returned, and an open message box is
  // dismissed so that it can return.
  void RequestClose();

  // 0, or 1 once an unexpected failure has ended the program.
  int ExitCode() const { return host_.exitCode(); }

  // The widget of a control (a QLabel, QLineEdit, QPlainTextEdit, QPushButton, QCheckBox,
  // QGroupBox or Light) and the lights themselves, for the program's tests.
  QWidget* Widget(Control id) const { return widgets_[static_cast<std::size_t>(id)]; }
  const Light& LightOf(Control light) const;

  // Form.
  std::u16string Text(Control box) const override;
  void SetText(Control box, std::u16string text) override;
  int Value(Control checkBox) const override;
  void SetFillColor(Control light, Rgb color) override;
  void SetFillStyle(Control light, Fill fill) override;
  void Repaint(Control light) override;
  void Focus(Control control) override;
  void ShowCritical(std::u16string_view title, std::u16string_view text) override;

 protected:
  // Runs Form_Unload once; the close waits for a running procedure and goes ahead unless the
  // procedure cancels it.
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* Build(const ControlItem& item);
  Light& LightAt(Control light);
  void ShowCriticalBox(const QString& title, const QString& text);
  // Ends the program after a failure or a close that waited: closes the window and leaves
  // the event loop with the exit code.
  void CloseNow();

  std::array<QWidget*, kControlCount> widgets_{};
  FormHost host_;
};

}  // namespace webapitest
