// The checks on each run of a request: its code, and on a reply that came back as expected its
// output's text, XPath over it, and a golden file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/command_line.h"
#include "app/cli/stream.h"

namespace webapitest::cli {

class XPath;

enum class CheckKind { Code, Contains, XPath, Reply };

struct CheckResult {
  CheckKind kind;
  std::u16string check;     // as printed: "code", "contains", "xpath EXPR", "reply FILE"
  std::u16string expected;  // short forms, as printed
  std::u16string actual;
  bool ok;
  std::u16string detail;    // said after the line: a golden file's unified diff
};

const char* KindName(CheckKind kind);

// An --expect-xpath argument: EXPR, or EXPR=VALUE split at the first "=" that stands outside
// brackets, parentheses and quotes and is no part of "!=", "<=" or ">=".
struct XPathCheck {
  std::u16string expression;
  std::optional<std::u16string> value;  // the plain text after the "="
};
XPathCheck SplitXPathCheck(std::u16string_view argument);

// "<request>: <check>: expected <...>, got <...>"
std::u16string CheckLine(std::u16string_view request, const CheckResult& result);
// A value for a check's line: quoted, line breaks and tabs as \n, \r and \t, cut after 60
// characters with the full length said.
std::u16string Short(std::u16string_view text);

class Checks {
 public:
  explicit Checks(const Invocation& invocation);
  ~Checks();
  Checks(const Checks&) = delete;
  Checks& operator=(const Checks&) = delete;

  // Before any request: loads the XML library when there is an XPath check and tries every
  // expression on a small document. False, with why, when an expression cannot be evaluated.
  bool Prepare(std::u16string& why);

  bool Expected(std::int32_t code) const;
  CheckResult Code(std::int32_t code) const;
  // The other checks, for a run whose code was as expected, in the order of the command line.
  // A difference from a golden file comes with a unified diff; --update-golden writes the file.
  std::vector<CheckResult> Output(const std::u16string& output, std::u16string_view request);

 private:
  CheckResult Golden(const std::string& file, const std::u16string& output, std::u16string_view request);

  const Invocation& invocation_;
  std::vector<XPathCheck> xpath_;
  std::unique_ptr<XPath> engine_;
};

// The lines of a text: each ends at CR LF, CR or LF; a line break at the very end ends the
// last line and opens none.
std::vector<std::u16string> SplitLines(std::u16string_view text);
// A unified diff from `before` (named beforeName) to `after`, with three lines of context; at
// most maxLines lines, then a line saying how many more there were.
std::u16string UnifiedDiff(const std::vector<std::u16string>& before, const std::vector<std::u16string>& after,
                           std::u16string_view beforeName, std::u16string_view afterName, std::size_t maxLines);

}  // namespace webapitest::cli
