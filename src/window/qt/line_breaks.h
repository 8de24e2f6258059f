// Line breaks at the edge between the form (CR LF) and Qt's text widgets (LF).
#pragma once

#include <QString>
#include <QStringView>
#include <string>
#include <string_view>

namespace webapitest {

// The form's text as a widget takes it: every CR LF, and every CR on its own, becomes one LF.
QString ToWidgetText(std::u16string_view text);

// A widget's text as the form hands it on: every LF, paragraph separator (U+2029) and line
// separator (U+2028, what Shift+Enter types) becomes CR LF. Other characters, non-breaking
// spaces included, pass unchanged.
std::u16string ToFormText(QStringView text);

}  // namespace webapitest
