// Fuzzes reading a reply back: the line splitter and the conversion from the code page.
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "client/ansi.h"
#include "client/reply_file.h"

using namespace webapitest;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool utf8 = std::setlocale(LC_ALL, "C.UTF-8") != nullptr;
  (void)utf8;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string joined = JoinReplyLines(bytes);

  // Empty in, empty out; otherwise every line ends in CR LF and no CR stands alone.
  if (bytes.empty() != joined.empty()) std::abort();
  if (!joined.empty() && joined.compare(joined.size() - 2, 2, "\r\n") != 0) std::abort();
  for (std::size_t i = 0; i < joined.size(); ++i) {
    if (joined[i] == '\r' && (i + 1 == joined.size() || joined[i + 1] != '\n')) std::abort();
  }
  // Every byte but a line's CR (and the LF with it) survives, in order.
  std::string kept;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r') {
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      continue;
    }
    kept += bytes[i];
  }
  std::string unjoined;
  for (std::size_t i = 0; i < joined.size(); ++i) {
    if (joined[i] == '\r') {
      ++i;
      continue;
    }
    unjoined += joined[i];
  }
  if (kept != unjoined) std::abort();

  std::u16string text = FromAnsi(joined);
  if (text.size() > joined.size()) std::abort();  // never more characters than bytes
  // The one-pass reading of ASCII replies agrees with splitting, then converting.
  for (char16_t& c : text)
    if (c == 0) c = u'\u2400';
  if (ReplyText(bytes) != text) std::abort();
  return 0;
}
