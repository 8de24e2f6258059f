// A window holding only the output pane with the text given, for tools that read it over AT-SPI.
//   pane_on_bus TEXT     (\t and \n in TEXT stand for a tab and a line break)
#include <QApplication>
#include <QFontDatabase>

#include "window/qt/text_pane.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QString text = argc > 1 ? QString::fromUtf8(argv[1]) : QString();
  text.replace(QLatin1String("\\t"), QLatin1String("\t")).replace(QLatin1String("\\n"), QLatin1String("\n"));
  webapitest::TextPane pane;
  pane.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));  // as the window's fixed-pitch font
  pane.resize(300, 200);
  pane.SetText(text.toStdU16String());
  pane.show();
  return app.exec();
}
