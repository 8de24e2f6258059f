// The window under test and the message-box answerer.
#include "window_fixture.h"

#include <QApplication>
#include <QTest>

#include "doubles/recording_form.h"

namespace webapitest::testing {
namespace {

FormProcedures::ShellFactory MakeShellFactory(ShellKind kind, std::vector<std::u16string>& opened) {
  if (kind == ShellKind::Desktop) return &CreateShell;
  return [&opened] { return std::make_unique<RecordingShell>(opened); };
}

}  // namespace

WindowUnderTest::WindowUnderTest(const std::u16string& libraryPath, ShellKind shell)
    : scripted(libraryPath), library(libraryPath), procedures(window, library, MakeShellFactory(shell, opened)) {
  window.SetEvents(procedures);
}

WindowUnderTest::~WindowUnderTest() {
  scripted.SetHook(nullptr);  // a test's hook may refer to what the test has already left
  window.close();
}

bool WindowUnderTest::Start() {
  window.SetText(Control::reqFile, Path("request.xml").toStdU16String());
  window.SetText(Control::repFile, Path("reply.txt").toStdU16String());
  if (!window.Load()) return false;
  window.show();
  window.activateWindow();
  if (!QTest::qWaitForWindowActive(&window)) qWarning("the window did not become active");
  return true;
}

void WindowUnderTest::Click(Control button) { QTest::mouseClick(window.Widget(button), Qt::LeftButton); }

QString WindowUnderTest::FocusName() const {
  const QWidget* focus = QApplication::focusWidget();
  return focus ? focus->objectName() : QString();
}

BoxAnswerer::BoxAnswerer() {
  QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    boxes.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
    QTest::keyClick(box, Qt::Key_Enter);
  });
  timer_.start(20);
}

}  // namespace webapitest::testing
