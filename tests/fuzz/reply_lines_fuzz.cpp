// Fuzzes reading a reply back: the line rules and the conversion from the code page, read whole
// and in two pieces, against the rules applied the plain way (split the bytes, then convert).
#include <algorithm>
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "client/reply_file.h"
#include "text/text.h"

using namespace webapitest;

namespace {

// The reply's line rules on bytes: a line ends at a CR (an LF right after it goes with it) or
// at the end, and each is followed by CR LF.
std::string JoinLines(std::string_view bytes) {
  std::string joined;
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t cr = std::min(bytes.find('\r', i), bytes.size());
    joined.append(bytes.substr(i, cr - i)).append("\r\n");
    i = cr + 1;
    if (i < bytes.size() && bytes[i] == '\n') ++i;
  }
  return joined;
}

std::u16string Read(std::string_view bytes, std::size_t cut) {
  ReplyReader reply(bytes.size());
  reply.Add(bytes.substr(0, cut));
  reply.Add(bytes.substr(cut));
  return reply.Finish();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool utf8 = std::setlocale(LC_ALL, "C.UTF-8") != nullptr;
  (void)utf8;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::u16string expected = FromAnsi(JoinLines(bytes));
  if (expected.size() > JoinLines(bytes).size()) std::abort();  // never more characters than bytes
  for (char16_t& c : expected)
    if (c == 0) c = u'\u2400';
  const std::u16string whole = Read(bytes, bytes.size());
  if (whole != expected) std::abort();
  // However the file is cut into pieces, the text is the same.
  if (size > 1 && Read(bytes, data[0] % size) != whole) std::abort();
  // No CR stands alone, and the text ends in a line break unless it is empty.
  for (std::size_t i = 0; i < whole.size(); ++i)
    if (whole[i] == u'\r' && (i + 1 == whole.size() || whole[i + 1] != u'\n')) std::abort();
  if (!whole.empty() && whole.compare(whole.size() - 2, 2, u"\r\n") != 0) std::abort();
  return 0;
}
