// Formatting lines, summaries and JSON objects (nlohmann-json) for webapi-run, and its reports
// for CI: JUnit XML as Jenkins, GitLab and GitHub read it, and TAP version 13.
#include "app/cli/report.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "text/text.h"

namespace webapitest::cli {
namespace {

std::u16string Ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

std::string Fixed(double value, const char* format) {
  char digits[48];
  std::snprintf(digits, sizeof digits, format, value);
  return digits;
}

std::u16string Milliseconds(double ms) { return Ascii(Fixed(ms, "%.2f ms")); }

const char* KindName(RequestKind kind) {
  switch (kind) {
    case RequestKind::Status: return "status";
    case RequestKind::Text: return "text";
    case RequestKind::File: return "file";
  }
  return "";
}

// Milliseconds to the microsecond, as the clock gives them.
double Rounded(double ms) { return std::round(ms * 1000.0) / 1000.0; }

nlohmann::ordered_json Head(const RequestName& name) {
  nlohmann::ordered_json object;
  object["kind"] = KindName(name.kind);
  object["argument"] = name.argument ? nlohmann::ordered_json(ToUtf8(*name.argument)) : nlohmann::ordered_json();
  object["raw"] = name.raw;
  return object;
}

std::string Dump(const nlohmann::ordered_json& object) {
  return object.dump(-1, ' ', true, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

nlohmann::ordered_json Times(const Summary& s) {
  return {{"count", s.count}, {"failures", s.failures}, {"check_failures", s.checkFailures}, {"timeouts", s.timeouts},
          {"min", Rounded(s.min)}, {"median", Rounded(s.median)}, {"p95", Rounded(s.p95)}, {"max", Rounded(s.max)}};
}

// Text for XML content or a double-quoted attribute, UTF-8; characters that XML 1.0 cannot
// carry at all become U+FFFD.
std::string Xml(std::u16string_view text, bool attribute) {
  std::u16string clean;
  for (const char16_t c : text) {
    if (c == u'&') clean += u"&amp;";
    else if (c == u'<') clean += u"&lt;";
    else if (c == u'>') clean += u"&gt;";
    else if (c == u'"' && attribute) clean += u"&quot;";
    else if (c == u'\n' && attribute) clean += u"&#10;";
    else if (c == u'\r') clean += u"&#13;";
    else if (c == u'\t' && attribute) clean += u"&#9;";
    else if ((c < 0x20 && c != u'\t' && c != u'\n') || c == 0xFFFE || c == 0xFFFF) clean += u'\uFFFD';
    else clean += c;
  }
  return ToUtf8(clean);
}

// What went wrong in a request's runs, one line each, and whether that was an error (a code,
// a timeout) rather than a failed check; empty when nothing did.
std::vector<std::u16string> Problems(const RequestRecord& request, bool& error, std::string& type) {
  std::vector<std::u16string> lines;
  error = false;
  const std::u16string label = Label(request.name);
  for (const RunRecord& run : request.runs) {
    const std::u16string prefix = run.run > 0 ? u"run " + Ascii(std::to_string(run.run)) + u": " : u"";
    if (run.Error()) {
      if (!error) lines.clear(), type = run.end == RunRecord::End::TimedOut ? "timeout" : run.end == RunRecord::End::Done ? "code" : "run";
      error = true;
      if (!run.problem.empty()) lines.push_back(prefix + run.problem);
      else lines.push_back(prefix + CheckLine(label, run.checks.front()));
    } else if (!error && run.CheckFailed()) {
      type = "check";
      for (const CheckResult& check : run.checks)
        if (!check.ok) lines.push_back(prefix + CheckLine(label, check));
    }
  }
  for (std::u16string& line : lines)
    if (!line.empty() && line.back() == u'\n') line.pop_back();
  return lines;
}

std::u16string Joined(const std::vector<std::u16string>& lines, std::u16string_view between) {
  std::u16string text;
  for (const std::u16string& line : lines) text += (text.empty() ? u"" : std::u16string(between)) + line;
  return text;
}

}  // namespace

bool RunRecord::Error() const {
  return end != End::Done || checks.empty() || !checks.front().ok;
}

bool RunRecord::CheckFailed() const {
  return !Error() && std::any_of(checks.begin(), checks.end(), [](const CheckResult& c) { return !c.ok; });
}

std::u16string Label(const RequestName& name) {
  std::u16string label = Ascii(KindName(name.kind));
  if (name.raw) label += u" --raw";
  if (name.argument) label += u" " + *name.argument;
  return label;
}

std::u16string CaseName(const RequestName& name) { return name.argument ? *name.argument : Ascii(KindName(name.kind)); }

std::u16string CodeLine(const RequestName& name, const Outcome& outcome) {
  return Label(name) + u": code " + Ascii(std::to_string(outcome.code)) + u", " + Milliseconds(outcome.milliseconds) +
         u"\n";
}

Summary Summarize(const std::vector<RunRecord>& runs) {
  Summary summary;
  summary.count = runs.size();
  std::vector<double> ms;
  for (const RunRecord& run : runs) {
    if (run.outcome) ms.push_back(run.outcome->milliseconds);
    if (run.end == RunRecord::End::TimedOut) ++summary.timeouts;
    else if (run.Error()) ++summary.failures;
    else if (run.CheckFailed()) ++summary.checkFailures;
  }
  if (ms.empty()) return summary;
  std::sort(ms.begin(), ms.end());
  const std::size_t n = ms.size();
  summary.min = ms.front();
  summary.max = ms.back();
  summary.median = n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
  const auto rank = static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(n)));
  summary.p95 = ms[std::max<std::size_t>(rank, 1) - 1];
  return summary;
}

std::u16string SummaryLine(const RequestName& name, const Summary& s) {
  std::u16string line = Label(name) + u": " + Ascii(std::to_string(s.count)) + u" runs, " +
                        Ascii(std::to_string(s.failures + s.timeouts)) + u" failed";
  if (s.checkFailures > 0) line += u", " + Ascii(std::to_string(s.checkFailures)) + u" failed a check";
  return line + u"; min " + Milliseconds(s.min) + u", median " + Milliseconds(s.median) + u", p95 " +
         Milliseconds(s.p95) + u", max " + Milliseconds(s.max) + u"\n";
}

std::string JsonRun(const RequestName& name, const RunRecord& run, bool withText) {
  nlohmann::ordered_json object = Head(name);
  if (run.run > 0) object["run"] = run.run;
  object["code"] = run.outcome ? nlohmann::ordered_json(run.outcome->code) : nlohmann::ordered_json();
  object["milliseconds"] = Rounded(run.outcome ? run.outcome->milliseconds : run.milliseconds);
  object["attempts"] = run.attempts;
  nlohmann::ordered_json checks = nlohmann::ordered_json::array();
  for (const CheckResult& check : run.checks)
    checks.push_back({{"kind", KindName(check.kind)}, {"check", ToUtf8(check.check)}, {"expected", ToUtf8(check.expected)},
                      {"actual", ToUtf8(check.actual)}, {"ok", check.ok}});
  object["checks"] = std::move(checks);
  if (run.end == RunRecord::End::TimedOut) object["timed_out"] = true;
  if (!run.problem.empty()) object["problem"] = ToUtf8(run.problem);
  if (withText && run.outcome) object[run.outcome->code == 0 ? "reply" : "fault"] = ToUtf8(run.outcome->output);
  return Dump(object);
}

std::string JsonSummary(const RequestName& name, const Summary& s) {
  nlohmann::ordered_json object = Head(name);
  object["summary"] = Times(s);
  return Dump(object);
}

std::string JsonTotals(const Summary& summary, int status) {
  nlohmann::ordered_json object = Times(summary);
  object["exit_status"] = status;
  return Dump(object);
}

std::string JUnitReport(const std::vector<RequestRecord>& requests, std::u16string_view stopped) {
  struct Suite {
    std::string cases;
    std::size_t tests = 0, failures = 0, errors = 0, skipped = 0;
    double seconds = 0;
  };
  std::map<std::u16string, Suite> suites;
  for (const RequestRecord& request : requests) {
    const std::u16string kind = Ascii(KindName(request.name.kind)) + (request.name.raw ? u" --raw" : u"");
    Suite& suite = suites[kind];
    double seconds = 0;
    for (const RunRecord& run : request.runs) seconds += run.milliseconds / 1000.0;
    std::string& out = suite.cases;
    out += "    <testcase name=\"" + Xml(CaseName(request.name), true) + "\" classname=\"webapi-run." +
           KindName(request.name.kind) + (request.name.raw ? ".raw" : "") + "\" time=\"" + Fixed(seconds, "%.3f") + "\">\n";
    ++suite.tests;
    suite.seconds += seconds;
    bool error = false;
    std::string type;
    const std::vector<std::u16string> problems = Problems(request, error, type);
    if (request.runs.empty()) {
      ++suite.skipped;
      out += "      <skipped message=\"not run: " + Xml(stopped, true) + "\"/>\n";
    } else if (!problems.empty()) {
      ++(error ? suite.errors : suite.failures);
      const char* element = error ? "error" : "failure";
      out += std::string("      <") + element + " type=\"" + type + "\" message=\"" + Xml(Joined(problems, u"; "), true) +
             "\">" + Xml(Joined(problems, u"\n"), false) + "</" + element + ">\n";
    }
    if (!request.runs.empty()) {
      std::u16string text;
      if (request.runs.size() > 1) text = SummaryLine(request.name, Summarize(request.runs));
      const RunRecord& last = request.runs.back();
      if (last.outcome) text += WithLfBreaks(last.outcome->output);
      out += "      <system-out>" + Xml(text, false) + "</system-out>\n";
    }
    out += "    </testcase>\n";
  }
  Suite all;
  std::string body;
  for (const auto& [kind, suite] : suites) {
    body += "  <testsuite name=\"webapi-run " + Xml(kind, true) + "\" tests=\"" + std::to_string(suite.tests) +
            "\" failures=\"" + std::to_string(suite.failures) + "\" errors=\"" + std::to_string(suite.errors) +
            "\" skipped=\"" + std::to_string(suite.skipped) + "\" time=\"" + Fixed(suite.seconds, "%.3f") + "\">\n" +
            suite.cases + "  </testsuite>\n";
    all.tests += suite.tests;
    all.failures += suite.failures;
    all.errors += suite.errors;
    all.seconds += suite.seconds;
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"webapi-run\" tests=\"" +
         std::to_string(all.tests) + "\" failures=\"" + std::to_string(all.failures) + "\" errors=\"" +
         std::to_string(all.errors) + "\" time=\"" + Fixed(all.seconds, "%.3f") + "\">\n" + body + "</testsuites>\n";
}

std::string TapReport(const std::vector<RequestRecord>& requests, std::u16string_view stopped) {
  std::string out = "TAP version 13\n1.." + std::to_string(requests.size()) + "\n";
  std::size_t number = 0;
  for (const RequestRecord& request : requests) {
    bool error = false;
    std::string type;
    std::vector<std::u16string> problems = Problems(request, error, type);
    if (request.runs.empty()) problems.push_back(u"not run: " + std::u16string(stopped));
    std::string description = ToUtf8(Label(request.name));
    for (std::size_t at = 0; (at = description.find_first_of("#\n\r", at)) != std::string::npos; at += 2)
      description.replace(at, 1, description[at] == '#' ? "\\#" : " ");
    out += (problems.empty() ? "ok " : "not ok ") + std::to_string(++number) + " - " + description + "\n";
    if (problems.empty()) continue;
    int attempts = 0;
    for (const RunRecord& run : request.runs) attempts += run.attempts;
    out += "  ---\n  message: " + nlohmann::json(ToUtf8(Joined(problems, u"\n"))).dump(-1, ' ', true) +
           "\n  severity: " + (request.runs.empty() ? "skipped" : error ? "error" : "fail") +
           "\n  attempts: " + std::to_string(attempts) + "\n  ...\n";
  }
  return out;
}

}  // namespace webapitest::cli
