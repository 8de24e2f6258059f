// The real window with the real procedures and binding, driving the scripted library.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "commands/procedures.h"
#include "doubles/double_control.h"
#include "window/qt/text_pane.h"
#include "window/qt/web_api_form.h"

namespace webapitest::testing {

enum class ShellKind { Recording, Desktop };

// Window, procedures and library as the program wires them. Files the test needs go into
// a folder of its own; the closing destructor unloads like the close button does.
class WindowUnderTest {
 public:
  explicit WindowUnderTest(const std::u16string& library = DoublePath(), ShellKind shell = ShellKind::Recording);
  ~WindowUnderTest();

  // Runs Form_Load, then shows and activates the window. reqFile and repFile point into dir
  // first, so that tests never share a file. Returns what Load returned.
  bool Start();

  // What the user sees and does.
  template <typename T>
  T* Get(Control id) const {
    return qobject_cast<T*>(window.Widget(id));
  }
  void Click(Control button);
  QString FocusName() const;
  std::vector<std::string> Entries() const { return scripted.Entries(); }
  QString Path(const QString& name) const { return dir.filePath(name); }

  QTemporaryDir dir;
  ScriptedLibrary scripted;
  ClientLibrary library;
  WebApiForm window;
  std::vector<std::u16string> opened;  // paths given to the recording shell
  FormProcedures procedures;
};

// What a message box showed.
struct ShownBox {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
};

// Answers every modal message box while it lives: records it, then presses Enter in it,
// as a user dismisses it.
class BoxAnswerer {
 public:
  BoxAnswerer();
  std::vector<ShownBox> boxes;

 private:
  QTimer timer_;
};

}  // namespace webapitest::testing
