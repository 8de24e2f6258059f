// Text and documents: code pages through iconv, the line rules of reply and fault files, and
// with pugixml checking request documents and reading reply documents.
#include "library/core.h"

#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace webapi {
namespace {

std::string Normalised(std::string_view codeset) {
  std::string name;
  for (const char c : codeset)
    if (std::isalnum(static_cast<unsigned char>(c))) name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

// True when text in this codeset can be used as UTF-8 unchanged: UTF-8 itself, and plain
// ASCII (the "C" locale), whose bytes above 127 are taken as they are.
bool PassesAsUtf8(std::string_view codeset) {
  const std::string name = Normalised(codeset);
  return name.empty() || name == "UTF8" || name == "ANSIX341968" || name == "ASCII" || name == "USASCII";
}

using standin::Where;

constexpr std::size_t kBodyLinesShown = 10;
constexpr const char* kExpectServer = "Expected: <server host='hostname or IP:portnumber' />";
constexpr const char* kExpectService = "Expected: <service name='...' entrypoint='...' />";

// The line at a position and a caret under the column, for a tester to find the spot.
void ShowSpot(std::string_view utf8, std::size_t offset, std::vector<std::string>& lines) {
  const standin::Position at = standin::PositionAt(utf8, offset);
  const std::vector<std::string> all = SplitLines(utf8);
  const std::string text = at.line <= all.size() ? all[at.line - 1] : std::string();
  std::string caret;
  std::size_t column = 1;
  for (std::size_t i = 0; i < text.size() && column < at.column; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    caret += text[i] == '\t' ? '\t' : ' ';
    ++column;
  }
  lines.push_back("  " + Utf8ToLocal(text));
  lines.push_back("  " + caret + "^");
}

bool IsBlank(const std::string& line) { return line.find_first_not_of(" \t") == std::string::npos; }

// The content of an element as lines: its text, or its child elements printed as XML: indented,
// or where that would take more than the budget, as they came. False when even that would.
bool AppendContentLines(const pugi::xml_node& node, std::vector<std::string>& out, std::size_t& budget) {
  bool markup = false;
  for (const pugi::xml_node& child : node.children())
    if (child.type() != pugi::node_pcdata && child.type() != pugi::node_cdata) markup = true;
  std::vector<std::string> lines;
  if (!markup) {
    std::string text;
    for (const pugi::xml_node& child : node.children()) text += child.value();
    lines = SplitLines(text);
  } else {
    standin::StringWriter writer;
    for (const unsigned layout : {unsigned(pugi::format_indent), unsigned(pugi::format_raw)}) {
      writer = standin::StringWriter(budget);
      for (const pugi::xml_node& child : node.children()) {
        if (child.type() == pugi::node_pcdata && IsBlank(child.value())) continue;
        child.print(writer, " ", layout | standin::kPrintFlags, pugi::encoding_utf8);
        if (layout == pugi::format_raw) writer.write("\n", 1);
      }
      if (!writer.over) break;
    }
    if (writer.over) return false;
    lines = SplitLines(writer.text);
  }
  while (!lines.empty() && IsBlank(lines.back())) lines.pop_back();
  for (auto line = std::find_if_not(lines.begin(), lines.end(), IsBlank); line != lines.end(); ++line) {
    if (line->size() + 2 > budget) return false;
    budget -= line->size() + 2;
    out.push_back(Utf8ToLocal(*line));
  }
  return true;
}

// Looks for host='...' in the first <server ...> tag of text that need not be well-formed.
bool ScanServerHost(std::string_view text, std::string& host) {
  constexpr std::string_view kBlank(" \t\r\n\0", 5);
  constexpr auto npos = std::string_view::npos;
  for (std::size_t at = text.find("<server"); at != npos; at = text.find("<server", at + 1)) {
    const std::size_t i = at + 7;
    if (i >= text.size() || !std::strchr(" \t\r\n/>", text[i])) continue;
    const std::string_view tag = text.substr(i, text.find('>', i) - i);
    for (std::size_t h = tag.find("host"); h != npos; h = tag.find("host", h + 1)) {
      if (h > 0 && kBlank.find(tag[h - 1]) == npos) continue;
      std::size_t j = tag.find_first_not_of(kBlank, h + 4);
      if (j == npos || tag[j] != '=') continue;
      j = tag.find_first_not_of(kBlank, j + 1);
      if (j == npos || (tag[j] != '\'' && tag[j] != '"')) continue;
      const std::size_t close = tag.find(tag[j], j + 1);
      if (close == npos) continue;
      host = std::string(tag.substr(j + 1, close - j - 1));
      return true;
    }
  }
  return false;
}

}  // namespace

std::string Recode(std::string_view text, const std::string& from, const std::string& to) {
  if (text.empty()) return std::string();
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(text);
  const bool fromUtf8 = Normalised(from) == "UTF8";
  std::string out;
  const char* in = text.data();
  std::size_t inLeft = text.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* put = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t done = iconv(cd, const_cast<char**>(&in), &inLeft, &put, &outLeft);
    out.append(buffer, static_cast<std::size_t>(put - buffer));
    if (done != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: a character that cannot be read or written here is skipped whole.
    std::size_t skip = 1;
    while (fromUtf8 && skip < inLeft && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) ++skip;
    in += skip;
    inLeft -= skip;
    out += '?';
  }
  // Shift sequences of stateful codesets end here.
  char* put = buffer;
  std::size_t outLeft = sizeof buffer;
  iconv(cd, nullptr, nullptr, &put, &outLeft);
  out.append(buffer, static_cast<std::size_t>(put - buffer));
  iconv_close(cd);
  return out;
}

std::string LocalToUtf8(std::string_view text) {
  const std::string codeset = nl_langinfo(CODESET);  // of the current locale (LC_CTYPE)
  return PassesAsUtf8(codeset) ? std::string(text) : Recode(text, codeset, "UTF-8");
}

std::string Utf8ToLocal(std::string_view text) {
  const std::string codeset = nl_langinfo(CODESET);
  return PassesAsUtf8(codeset) ? std::string(text) : Recode(text, "UTF-8", codeset);
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

std::vector<std::string> Excerpt(std::string_view text, std::size_t shown) {
  std::vector<std::string> lines = SplitLines(text);
  const bool cut = lines.size() > shown;
  if (cut) lines.resize(shown);
  for (auto& line : lines) line = "  " + line;
  if (cut) lines.push_back("  ...");
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string joined;
  for (const auto& line : lines) joined += line + "\r\n";
  return joined;
}

const char* CodeName(std::int32_t code) {
  static const char* const kNames[] = {"ok", "not started", "bad argument", "malformed request", "request file",
                                       "connection failed", "timeout", "HTTP error status", "bad reply",
                                       "server fault", "write failed", "nothing to write", "internal error"};
  return code >= WEBAPI_OK && code <= WEBAPI_INTERNAL ? kNames[code] : "unknown";
}

std::string Count(long long n, const char* singular, const char* plural) {
  return std::to_string(n) + " " + (n == 1 ? singular : plural);
}

Outcome CheckRequest(std::string_view document, CheckedRequest& checked) {
  const auto fault = [](std::string what, std::string then) {
    return Outcome::Fault(WEBAPI_MALFORMED_REQUEST, {std::move(what), std::move(then)});
  };
  checked.utf8 = LocalToUtf8(document);
  const std::string& utf8 = checked.utf8;
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed =
      doc.load_buffer(utf8.data(), utf8.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!parsed) {
    std::vector<std::string> lines{"The request document is not well-formed XML: " +
                                   std::string(parsed.description()) + " at " + Where(utf8, parsed.offset) + "."};
    if (!utf8.empty()) ShowSpot(utf8, static_cast<std::size_t>(parsed.offset), lines);
    return Outcome::Fault(WEBAPI_MALFORMED_REQUEST, std::move(lines));
  }
  const pugi::xml_node request = standin::TopElement(doc, "webapirequest");
  if (!request) {
    const pugi::xml_node root = doc.document_element();
    return fault("The request document has no webapirequest element: its root element <" + Utf8ToLocal(root.name()) +
                     "> at " + Where(utf8, root) + " neither is one nor holds one.",
                 "Expected: <kqxml version='1.0'><webapirequest>...</webapirequest></kqxml>");
  }
  const pugi::xml_node server = request.child("server");
  if (!server)
    return fault("The webapirequest element at " + Where(utf8, request) + " has no server element.", kExpectServer);
  const std::string host = server.attribute("host").value();
  if (host.empty()) {
    return fault("The server element at " + Where(utf8, server) + " has no host attribute or an empty one.",
                 kExpectServer);
  }
  std::string why;
  const auto hostPort = standin::ParseHostPort(host, why);
  if (!hostPort)
    return fault("The server element at " + Where(utf8, server) + " names an unusable host.", Utf8ToLocal(why));
  const pugi::xml_node service = request.child("service");
  if (!service)
    return fault("The webapirequest element at " + Where(utf8, request) + " has no service element.", kExpectService);
  checked.service = service.attribute("name").value();
  checked.entrypoint = service.attribute("entrypoint").value();
  if (checked.service.empty() || checked.entrypoint.empty()) {
    return fault("The service element at " + Where(utf8, service) + " lacks its " +
                     (checked.service.empty() ? "name" : "entrypoint") + " attribute or has an empty one.",
                 kExpectService);
  }
  checked.server = *hostPort;
  return {};
}

Outcome FindServer(std::string_view document, standin::HostPort& server) {
  std::string host;
  pugi::xml_document doc;
  if (doc.load_buffer(document.data(), document.size(), pugi::parse_default, pugi::encoding_utf8)) {
    const pugi::xml_node found = doc.find_node([](const pugi::xml_node& node) {
      return std::strcmp(node.name(), "server") == 0 && node.attribute("host");
    });
    if (found) host = found.attribute("host").value();
  } else {
    ScanServerHost(document, host);
  }
  if (host.empty()) {
    return Outcome::Fault(WEBAPI_MALFORMED_REQUEST,
                          {"The request names no server, so there is nowhere to send it: no <server host='...' /> "
                           "with a host was found in the document.",
                           kExpectServer});
  }
  std::string why;
  const auto hostPort = standin::ParseHostPort(host, why);
  if (!hostPort)
    return Outcome::Fault(WEBAPI_MALFORMED_REQUEST, {"The request's server element names an unusable host.", why});
  server = *hostPort;
  return {};
}

Outcome ReadReply(std::string_view body, const std::string& from) {
  const auto bad = [&from](const std::string& what) {
    return Outcome::Fault(WEBAPI_BAD_REPLY, {"The reply from " + from + " " + what});
  };
  if (body.empty()) return bad("is empty: HTTP 200 without a document.");
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed =
      doc.load_buffer(body.data(), body.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!parsed) {
    std::vector<std::string> lines{"The reply from " + from + " is not well-formed XML: " +
                                   std::string(parsed.description()) + " at " + Where(body, parsed.offset) + ".",
                                   "The reply begins:"};
    for (auto& line : Excerpt(body, kBodyLinesShown)) lines.push_back(Utf8ToLocal(line));
    return Outcome::Fault(WEBAPI_BAD_REPLY, std::move(lines));
  }
  bool tooDeep = false;
  standin::WalkNodes(doc, [&](const pugi::xml_node& node, std::size_t depth) {
    return !(tooDeep = node.type() == pugi::node_element && depth >= standin::kMaxNesting);
  });
  if (tooDeep) {
    return bad("is nested deeper than " + std::to_string(standin::kMaxNesting) +
               " levels of elements, the most this library reads; it was not kept.");
  }
  std::size_t budget = kReplyDataFactor * body.size() + kReplyDataExtra;
  const std::string tooLarge = "The data of the reply from " + from + " would print to more than " +
                               std::to_string(kReplyDataFactor) + " times the reply's size; it was not kept.";
  const pugi::xml_node reply = standin::TopElement(doc, "webapireply");
  if (!reply) {
    return bad("is not a reply document: its root element <" + Utf8ToLocal(doc.document_element().name()) +
               "> neither is nor holds a webapireply element.");
  }
  const pugi::xml_node service = reply.child("service");
  const std::string about = !service ? "" : " (service " + Utf8ToLocal(service.attribute("name").value()) +
                                                 ", entry point " +
                                                 Utf8ToLocal(service.attribute("entrypoint").value()) + ")";
  if (const pugi::xml_node fault = reply.child("fault")) {
    const std::string code = fault.attribute("code").value();
    std::vector<std::string> lines{"Server fault " + (code.empty() ? std::string("without a code") : code) + " from " +
                                   from + about + ":"};
    for (auto& line : SplitLines(fault.attribute("message").value())) lines.push_back(Utf8ToLocal(line));
    for (const pugi::xml_node& detail : fault.children("detail"))
      if (!AppendContentLines(detail, lines, budget)) return Outcome::Fault(WEBAPI_BAD_REPLY, {tooLarge});
    return Outcome::Fault(WEBAPI_SERVER_FAULT, std::move(lines));
  }
  const pugi::xml_node data = reply.child("replydata");
  if (!data) return bad("holds neither replydata nor a fault" + about + ".");
  Outcome outcome;
  bool kept = data.child("data") || AppendContentLines(data, outcome.lines, budget);
  for (const pugi::xml_node& item : data.children("data"))
    kept = kept && AppendContentLines(item, outcome.lines, budget);
  return kept ? outcome : Outcome::Fault(WEBAPI_BAD_REPLY, {tooLarge});
}

}  // namespace webapi
