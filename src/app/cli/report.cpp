// Formatting lines, summaries and JSON objects (nlohmann-json) for webapi-run.
#include "app/cli/report.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "text/text.h"

namespace webapitest::cli {
namespace {

std::u16string Ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

std::u16string Milliseconds(double ms) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%.2f ms", ms);
  return Ascii(digits);
}

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

}  // namespace

std::u16string Label(const RequestName& name) {
  std::u16string label = Ascii(KindName(name.kind));
  if (name.raw) label += u" --raw";
  if (name.argument) label += u" " + *name.argument;
  return label;
}

std::u16string CodeLine(const RequestName& name, const Outcome& outcome) {
  return Label(name) + u": code " + Ascii(std::to_string(outcome.code)) + u", " + Milliseconds(outcome.milliseconds) +
         u"\n";
}

Summary Summarize(const std::vector<Outcome>& runs) {
  Summary summary;
  summary.count = runs.size();
  if (runs.empty()) return summary;
  std::vector<double> ms;
  for (const Outcome& run : runs) {
    ms.push_back(run.milliseconds);
    if (run.code != 0) ++summary.failures;
  }
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
  return Label(name) + u": " + Ascii(std::to_string(s.count)) + u" runs, " + Ascii(std::to_string(s.failures)) +
         u" failed; min " + Milliseconds(s.min) + u", median " + Milliseconds(s.median) + u", p95 " +
         Milliseconds(s.p95) + u", max " + Milliseconds(s.max) + u"\n";
}

std::string JsonRun(const RequestName& name, const Outcome& outcome, int run, bool withText) {
  nlohmann::ordered_json object = Head(name);
  if (run > 0) object["run"] = run;
  object["code"] = outcome.code;
  object["milliseconds"] = Rounded(outcome.milliseconds);
  if (withText) object[outcome.code == 0 ? "reply" : "fault"] = ToUtf8(outcome.output);
  return Dump(object);
}

std::string JsonSummary(const RequestName& name, const Summary& s) {
  nlohmann::ordered_json object = Head(name);
  object["summary"] = {{"count", s.count}, {"failures", s.failures}, {"min", Rounded(s.min)},
                       {"median", Rounded(s.median)}, {"p95", Rounded(s.p95)}, {"max", Rounded(s.max)}};
  return Dump(object);
}

}  // namespace webapitest::cli
