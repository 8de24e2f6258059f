// The example request document that fills the request box at start-up and on reset.
#pragma once

#include <string_view>

namespace webapitest {

// Eleven lines joined by CR LF, no break after the last: 294 characters.
extern const std::u16string_view RequestTemplate;

}  // namespace webapitest
