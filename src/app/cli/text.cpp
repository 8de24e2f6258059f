// The console front end's text conversions: the binding's own.
#include "window/console/text.h"

#include "client/ansi.h"

namespace webapitest::console {

std::string ToAnsi(std::u16string_view text) { return webapitest::ToAnsi(text); }
std::u16string FromAnsi(std::string_view bytes) { return webapitest::FromAnsi(bytes); }
std::string ToUtf8(std::u16string_view text) { return webapitest::ToUtf8(text); }
std::u16string FromUtf8(std::string_view text) { return webapitest::FromUtf8(text); }

}  // namespace webapitest::console
