// Converts line breaks in one pass, so that replies of tens of megabytes convert quickly.
#include "window/qt/line_breaks.h"

namespace webapitest {
namespace {

bool IsWidgetBreak(char16_t c) { return c == u'\n' || c == u'\u2029' || c == u'\u2028'; }

}  // namespace

QString ToWidgetText(std::u16string_view text) {
  QString out(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
  char16_t* to = reinterpret_cast<char16_t*>(out.data());
  const char16_t* from = text.data();
  const char16_t* const end = from + text.size();
  while (from != end) {
    const char16_t c = *from++;
    if (c == u'\r') {
      if (from != end && *from == u'\n') ++from;
      *to++ = u'\n';
    } else {
      *to++ = c;
    }
  }
  out.truncate(static_cast<qsizetype>(to - reinterpret_cast<char16_t*>(out.data())));
  return out;
}

std::u16string ToFormText(QStringView text) {
  const char16_t* const begin = text.utf16();
  const char16_t* const end = begin + text.size();
  std::size_t breaks = 0;
  for (const char16_t* c = begin; c != end; ++c)
    if (IsWidgetBreak(*c)) ++breaks;
  std::u16string out(static_cast<std::size_t>(text.size()) + breaks, u'\0');
  char16_t* to = out.data();
  for (const char16_t* c = begin; c != end; ++c) {
    if (IsWidgetBreak(*c)) {
      *to++ = u'\r';
      *to++ = u'\n';
    } else {
      *to++ = *c;
    }
  }
  return out;
}

}  // namespace webapitest
