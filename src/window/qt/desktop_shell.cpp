// The Linux desktop shell: opens a path with the desktop's associated application through
// xdg-open, or through the program named by WEBAPITEST_OPENER.
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <stdexcept>

#include "window/shell.h"

namespace webapitest {
namespace {

class DesktopShell : public Shell {
 public:
  explicit DesktopShell(QString opener) : opener_(std::move(opener)) {}

  // The path goes to the opener as its one argument, straight to exec: no shell ever reads
  // it, so quotes, ";" or "$( )" in a path are only characters of the path.
  void Open(std::u16string_view path) override {
    const QString text = QString::fromUtf16(path.data(), static_cast<qsizetype>(path.size()));
    if (!QProcess::startDetached(opener_, QStringList{text}))
      throw std::runtime_error("Cannot start " + opener_.toStdString() + " to open \"" + text.toStdString() +
                               "\".");
  }

 private:
  QString opener_;
};

}  // namespace

std::unique_ptr<Shell> CreateShell() {
  const QString name = qEnvironmentVariable("WEBAPITEST_OPENER", QStringLiteral("xdg-open"));
  QString program;
  if (name.contains(u'/')) {  // a path to the program rather than a name to look up on PATH
    const QFileInfo file(name);
    if (file.isFile() && file.isExecutable()) program = file.absoluteFilePath();
  } else {
    program = QStandardPaths::findExecutable(name);
  }
  if (program.isEmpty())
    throw std::runtime_error("Cannot open files with the desktop's applications: the program \"" +
                             name.toStdString() + "\" was not found (xdg-open comes with xdg-utils).");
  return std::make_unique<DesktopShell>(program);
}

}  // namespace webapitest
