// Fonts: the table's faces, point sizes and the substitutes used on Linux desktops.
#include "window/qt/fonts.h"

#include <QStringList>

namespace webapitest {
namespace {

constexpr double kWindowFontPoints = 8.25;
const QString kCourierNew = QStringLiteral("Courier New");
const QString kMsSansSerif = QStringLiteral("MS Sans Serif");

}  // namespace

void RegisterFontSubstitutes() {
  QFont::insertSubstitutions(kCourierNew, {QStringLiteral("Liberation Mono"), QStringLiteral("Cousine"),
                                           QStringLiteral("DejaVu Sans Mono"), QStringLiteral("monospace")});
  QFont::insertSubstitutions(kMsSansSerif, {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                            QStringLiteral("DejaVu Sans"), QStringLiteral("sans-serif")});
}

QFont ToQFont(const Font& font) {
  QFont q;
  switch (font.face) {
    case Face::WindowFont:
      q.setFamily(kMsSansSerif);
      q.setStyleHint(QFont::SansSerif);
      q.setPointSizeF(kWindowFontPoints);
      break;
    case Face::MsSansSerif:
      q.setFamily(kMsSansSerif);
      q.setStyleHint(QFont::SansSerif);
      q.setPointSizeF(font.points);
      break;
    case Face::CourierNew:
      q.setFamily(kCourierNew);
      q.setStyleHint(QFont::TypeWriter);
      q.setFixedPitch(true);
      q.setPointSizeF(font.points);
      break;
  }
  q.setWeight(QFont::Normal);
  q.setItalic(false);
  q.setUnderline(false);
  q.setStrikeOut(false);
  return q;
}

}  // namespace webapitest
