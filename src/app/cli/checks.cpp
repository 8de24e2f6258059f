// The checks on a request's outcome; XPath through the system's XML library, diffs with dtl.
#include "app/cli/checks.h"

#include <dtl/dtl.hpp>

#include <algorithm>
#include <stdexcept>

#include "app/cli/temporary_file.h"
#include "app/cli/xpath.h"
#include "text/text.h"

namespace webapitest::cli {
namespace {

constexpr std::size_t kShort = 60;
constexpr std::size_t kContext = 3;
// Past this many differing lines on either side the diff only says where the texts part: the
// line-by-line comparison would take too long.
constexpr std::size_t kDiffableLines = 20000;
constexpr std::size_t kDiffLines = 200;

std::u16string Number(long long n) { return FromUtf8(std::to_string(n)); }

std::u16string Quoted(std::u16string_view text) { return u"\"" + std::u16string(text) + u"\""; }

// The output as standard output holds it: each line ended by the platform's line break.
std::u16string AsWritten(const std::vector<std::u16string>& lines) {
  std::u16string text;
#ifdef _WIN32
  const std::u16string_view end = u"\r\n";
#else
  const std::u16string_view end = u"\n";
#endif
  for (const std::u16string& line : lines) (text += line) += end;
  return text;
}

}  // namespace

const char* KindName(CheckKind kind) {
  switch (kind) {
    case CheckKind::Code: return "code";
    case CheckKind::Contains: return "contains";
    case CheckKind::XPath: return "xpath";
    case CheckKind::Reply: return "reply";
  }
  return "";
}

XPathCheck SplitXPathCheck(std::u16string_view argument) {
  int depth = 0;
  char16_t quote = 0;
  for (std::size_t i = 0; i < argument.size(); ++i) {
    const char16_t c = argument[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == u'\'' || c == u'"') {
      quote = c;
    } else if (c == u'(' || c == u'[') {
      ++depth;
    } else if (c == u')' || c == u']') {
      depth = std::max(0, depth - 1);
    } else if (c == u'=' && depth == 0 && (i == 0 || (argument[i - 1] != u'!' && argument[i - 1] != u'<' && argument[i - 1] != u'>'))) {
      return {std::u16string(argument.substr(0, i)), std::u16string(argument.substr(i + 1))};
    }
  }
  return {std::u16string(argument), std::nullopt};
}

std::u16string Short(std::u16string_view text) {
  std::u16string out;
  std::size_t shown = 0;
  for (std::size_t i = 0; i < text.size() && shown < kShort; ++i, ++shown) {
    const char16_t c = text[i];
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') continue;  // CR LF shows as one \n
    out += c == u'\n' ? u"\\n" : c == u'\r' ? u"\\r" : c == u'\t' ? u"\\t" : std::u16string(1, c);
  }
  if (shown < text.size()) return Quoted(out) + u"... (" + Number(static_cast<long long>(text.size())) + u" characters)";
  return Quoted(out);
}

std::u16string CheckLine(std::u16string_view request, const CheckResult& result) {
  return std::u16string(request) + u": " + result.check + u": expected " + result.expected + u", got " + result.actual +
         u"\n";
}

std::vector<std::u16string> SplitLines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'\r' && text[i] != u'\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::u16string UnifiedDiff(const std::vector<std::u16string>& before, const std::vector<std::u16string>& after,
                           std::u16string_view beforeName, std::u16string_view afterName, std::size_t maxLines) {
  // The diff runs over the part between the common beginning and end, with context kept.
  std::size_t head = 0, tail = 0;
  while (head < before.size() && head < after.size() && before[head] == after[head]) ++head;
  while (tail < before.size() - head && tail < after.size() - head &&
         before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
    ++tail;
  const std::size_t from = head - std::min(head, kContext), keep = tail - std::min(tail, kContext);
  const std::vector<std::u16string> a(before.begin() + static_cast<std::ptrdiff_t>(from), before.end() - static_cast<std::ptrdiff_t>(keep));
  const std::vector<std::u16string> b(after.begin() + static_cast<std::ptrdiff_t>(from), after.end() - static_cast<std::ptrdiff_t>(keep));
  std::u16string out = u"--- " + std::u16string(beforeName) + u"\n+++ " + std::u16string(afterName) + u"\n";
  if (a.size() - (head - from) - (tail - keep) > kDiffableLines || b.size() - (head - from) - (tail - keep) > kDiffableLines) {
    return out + u"@@ the texts part at line " + Number(static_cast<long long>(head + 1)) + u"; too many lines differ to show them @@\n";
  }
  dtl::Diff<std::u16string> diff(a, b);
  diff.compose();
  diff.composeUnifiedHunks();
  std::size_t lines = 0, more = 0;
  const auto add = [&](char16_t mark, const std::u16string& line) {
    if (lines++ < maxLines) out += mark + line + u"\n";
    else ++more;
  };
  for (const auto& hunk : diff.getUniHunks()) {
    const auto offset = static_cast<long long>(from);
    const std::u16string header = u"@@ -" + Number(hunk.a + offset) + u"," + Number(hunk.b) + u" +" +
                                  Number(hunk.c + offset) + u"," + Number(hunk.d) + u" @@";
    if (lines++ < maxLines) out += header + u"\n";
    else ++more;
    for (const auto& element : hunk.common[0]) add(u' ', element.first);
    for (const auto& element : hunk.change)
      add(element.second.type == dtl::SES_ADD ? u'+' : element.second.type == dtl::SES_DELETE ? u'-' : u' ', element.first);
    for (const auto& element : hunk.common[1]) add(u' ', element.first);
  }
  if (more > 0) out += u"(" + Number(static_cast<long long>(more)) + u" more lines of the diff)\n";
  return out;
}

Checks::Checks(const Invocation& invocation) : invocation_(invocation) {
  for (const std::string& argument : invocation.expectXPath) xpath_.push_back(SplitXPathCheck(ArgumentText(argument)));
}

Checks::~Checks() = default;

bool Checks::Prepare(std::u16string& why) {
  if (xpath_.empty()) return true;
  std::vector<std::pair<std::u16string, std::u16string>> namespaces;
  for (const auto& [prefix, uri] : invocation_.namespaces) namespaces.emplace_back(ArgumentText(prefix), ArgumentText(uri));
  try {
    engine_ = XPath::Load(namespaces);
  } catch (const std::runtime_error& e) {
    why = FromUtf8(e.what());
    return false;
  }
  if (!engine_->Parse(u"<webapi-run/>", why)) return false;
  for (std::size_t i = 0; i < xpath_.size(); ++i) {
    bool truth = false;
    std::u16string value, error;
    if (!engine_->Evaluate(xpath_[i].expression, truth, value, error)) {
      why = u"--expect-xpath " + ArgumentText(invocation_.expectXPath[i]) + u": " + error;
      engine_->Forget();
      return false;
    }
  }
  engine_->Forget();
  return true;
}

bool Checks::Expected(std::int32_t code) const {
  if (invocation_.expectCodes.empty()) return code == 0;
  return std::find(invocation_.expectCodes.begin(), invocation_.expectCodes.end(), code) != invocation_.expectCodes.end();
}

CheckResult Checks::Code(std::int32_t code) const {
  std::u16string expected;
  for (const int n : invocation_.expectCodes) expected += (expected.empty() ? u"" : u" or ") + Number(n);
  return {CheckKind::Code, u"code", expected.empty() ? u"0" : expected, Number(code), Expected(code), u""};
}

std::vector<CheckResult> Checks::Output(const std::u16string& output, std::u16string_view request) {
  std::vector<CheckResult> results;
  for (const std::string& argument : invocation_.expectContains) {
    const std::u16string text = ArgumentText(argument);
    results.push_back({CheckKind::Contains, u"contains", Quoted(text), Short(output), output.find(text) != std::u16string::npos, u""});
  }
  if (!xpath_.empty()) {
    std::u16string why;
    const bool parsed = engine_->Parse(output, why);
    for (std::size_t i = 0; i < xpath_.size(); ++i) {
      const XPathCheck& check = xpath_[i];
      CheckResult result{CheckKind::XPath, u"xpath " + ArgumentText(invocation_.expectXPath[i]),
                         check.value ? Quoted(*check.value) : u"true", u"", false, u""};
      bool truth = false;
      std::u16string value, error;
      if (!parsed) {
        result.expected = u"an XML reply";
        result.actual = why;
      } else if (!engine_->Evaluate(check.expression, truth, value, error)) {
        result.expected = u"an XPath 1.0 expression";
        result.actual = error;
      } else if (check.value) {
        result.ok = value == *check.value;
        result.actual = Short(value);
      } else {
        result.ok = truth;
        result.actual = truth ? u"true" : u"false";
      }
      results.push_back(std::move(result));
    }
    engine_->Forget();
  }
  for (const std::string& file : invocation_.expectReply) results.push_back(Golden(file, output, request));
  return results;
}

CheckResult Checks::Golden(const std::string& file, const std::u16string& output, std::u16string_view request) {
  const std::u16string name = ArgumentText(file);
  CheckResult result{CheckKind::Reply, u"reply " + name, Quoted(name) + u"'s text", u"", false, u""};
  const std::vector<std::u16string> got = SplitLines(output);
  std::string bytes, why;
  if (invocation_.updateGolden) {
    result.check += u" (updated)";
    result.expected = u"written";
    result.ok = WriteWhole(file, ToAnsi(AsWritten(got)), why);
    result.actual = result.ok ? u"written" : FromUtf8(why);
    return result;
  }
  if (!ReadArgumentFile(file, bytes, why)) {
    result.actual = u"no such text: " + ArgumentText(why);
    return result;
  }
  const std::vector<std::u16string> wanted = SplitLines(FromAnsi(bytes));
  result.ok = wanted == got;
  if (result.ok) {
    result.actual = result.expected;
    return result;
  }
  std::size_t line = 0;
  while (line < wanted.size() && line < got.size() && wanted[line] == got[line]) ++line;
  result.expected = u"line " + Number(static_cast<long long>(line + 1)) + u" " +
                    (line < wanted.size() ? Short(wanted[line]) : u"(the end)");
  result.actual = line < got.size() ? Short(got[line]) : u"the end of the output";
  result.detail = UnifiedDiff(wanted, got, name, std::u16string(request), kDiffLines);
  return result;
}

}  // namespace webapitest::cli
