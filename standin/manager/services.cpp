// The services of the manager host and the documents it answers with.
#include "manager/services.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <string>

#include "common/xml_walk.h"

namespace manager {
namespace {

constexpr long kMaxVariable = 999999;
constexpr long kMaxLines = 100000;

class StringWriter : public pugi::xml_writer {
 public:
  void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
  std::string text;
};

constexpr unsigned kPrintFlags = pugi::format_no_declaration | pugi::format_attribute_single_quote;

std::string Print(const pugi::xml_document& doc) {
  StringWriter writer;
  doc.save(writer, " ", pugi::format_indent | kPrintFlags, pugi::encoding_utf8);
  return writer.text;
}

// Where echo puts requestdata's content: a CDATA section holding a control character, which
// the printer writes nowhere else unescaped.
constexpr const char* kEchoMark = "\x01" "echo" "\x01";
const std::string kPrintedEchoMark = std::string("<![CDATA[") + kEchoMark + "]]>";

// Length of the valid UTF-8 character at the start of text that XML allows, 0 if there is none.
std::size_t XmlCharacter(std::string_view text) {
  const auto b = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = b(0);
  if (lead < 0x80) return lead >= 0x20 || lead == '\t' || lead == '\n' || lead == '\r' ? 1 : 0;
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || text.size() < length) return 0;
  unsigned long code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((b(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (b(i) & 0x3F);
  }
  const unsigned long least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE || code == 0xFFFF)
    return 0;
  return length;
}

bool XmlText(std::string_view text) {
  while (!text.empty()) {
    const std::size_t length = XmlCharacter(text);
    if (length == 0) return false;
    text.remove_prefix(length);
  }
  return true;
}

// The first node nested too deeply or holding text an answer cannot carry; walks without
// recursion, so that any depth is safe.
struct Inspection {
  pugi::xml_node node;
  bool tooDeep = false;
};
Inspection Inspect(const pugi::xml_document& doc) {
  Inspection found;
  standin::WalkNodes(doc, [&](const pugi::xml_node& node, std::size_t depth) {
    if (node.type() == pugi::node_element && depth >= kMaxNesting) {
      found = {node, true};
      return false;
    }
    bool sound = XmlText(node.name()) && XmlText(node.value());
    for (const pugi::xml_attribute& attribute : node.attributes())
      sound = sound && XmlText(attribute.name()) && XmlText(attribute.value());
    if (!sound) found = {node, false};
    return sound;
  });
  return found;
}

// <kqxml version='1.0'><webapireply><service .../>...: the frame of every answer.
pugi::xml_node Frame(pugi::xml_document& doc, const std::string& service, const std::string& entrypoint) {
  pugi::xml_node root = doc.append_child("kqxml");
  root.append_attribute("version") = "1.0";
  pugi::xml_node reply = root.append_child("webapireply");
  if (!service.empty() || !entrypoint.empty()) {
    pugi::xml_node named = reply.append_child("service");
    named.append_attribute("name") = service.c_str();
    named.append_attribute("entrypoint") = entrypoint.c_str();
  }
  return reply;
}

Answer Fault(int code, const std::string& message, const std::vector<std::string>& details, const std::string& service,
             const std::string& entrypoint) {
  pugi::xml_document doc;
  pugi::xml_node fault = Frame(doc, service, entrypoint).append_child("fault");
  fault.append_attribute("code") = code;
  fault.append_attribute("message") = message.c_str();
  for (const auto& detail : details) fault.append_child("detail").text() = detail.c_str();
  return {Print(doc), service.empty() ? "-" : service, entrypoint.empty() ? "-" : entrypoint, code};
}

std::string Position(std::string_view text, std::ptrdiff_t offset) {
  std::size_t line = 1;
  std::size_t column = 1;
  const std::size_t end = offset < 0 ? 0 : std::min(static_cast<std::size_t>(offset), text.size());
  for (std::size_t i = 0; i < end; ++i) {
    const char c = text[i];
    if (c == '\n' || (c == '\r' && !(i + 1 < text.size() && text[i + 1] == '\n'))) {
      ++line;
      column = 1;
    } else if (c != '\r' && (static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// A whole number from min to max with nothing else but surrounding white space.
bool ReadNumber(const char* text, long max, long& number) {
  std::string_view s(text);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  if (s.empty() || s.size() > 9) return false;
  number = 0;
  for (const char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    number = number * 10 + (c - '0');
  }
  return number <= max;
}

// An entry point fills replydata from requestdata, or says why it cannot.
using EntryPoint = std::function<bool(const pugi::xml_node& requestdata, pugi::xml_node replydata, std::string& why)>;

// baseVariable: for every <data>N</data>, the base variable number N, whose value is N squared.
bool BaseVariable(const pugi::xml_node& requestdata, pugi::xml_node replydata, std::string& why) {
  replydata.append_attribute("format") = "XML";
  pugi::xml_node data = replydata.append_child("data");
  bool any = false;
  for (const pugi::xml_node& item : requestdata.children("data")) {
    long number = 0;
    if (!ReadNumber(item.child_value(), kMaxVariable, number)) {
      why = "baseVariable takes whole numbers from 0 to " + std::to_string(kMaxVariable) + " as data, not \"" +
            item.child_value() + "\".";
      return false;
    }
    pugi::xml_node variable = data.append_child("variable");
    variable.append_attribute("number") = number;
    variable.append_attribute("name") = ("base" + std::to_string(number)).c_str();
    variable.append_attribute("value") = static_cast<long long>(number) * number;
    any = true;
  }
  if (!any) why = "baseVariable needs at least one <data> element with a variable number in requestdata.";
  return any;
}

// echo: requestdata's content, unchanged. It is printed as it came, without indentation (see
// EchoContent), so that the answer grows with the request and not with its depth.
bool Echo(const pugi::xml_node& requestdata, pugi::xml_node replydata, std::string&) {
  const char* format = requestdata.attribute("format").value();
  replydata.append_attribute("format") = *format ? format : "XML";
  if (requestdata.first_child()) replydata.append_child(pugi::node_cdata).set_value(kEchoMark);
  return true;
}

// Puts requestdata's children, each on a line at the mark's indentation, where the mark is.
void EchoContent(const pugi::xml_node& requestdata, std::string& document) {
  const std::size_t at = document.find(kPrintedEchoMark);
  if (at == std::string::npos) return;
  const std::size_t lineStart = document.rfind('\n', at) + 1;
  const std::string indent = "\n" + document.substr(lineStart, at - lineStart);
  StringWriter writer;
  for (const pugi::xml_node& child : requestdata.children()) {
    if (!writer.text.empty()) writer.text += indent;
    child.print(writer, "", pugi::format_raw | kPrintFlags, pugi::encoding_utf8);
  }
  document.replace(at, kPrintedEchoMark.size(), writer.text);
}

// lines: <data>N</data> gives N numbered text lines, for trying long replies.
bool Lines(const pugi::xml_node& requestdata, pugi::xml_node replydata, std::string& why) {
  long count = 0;
  if (!ReadNumber(requestdata.child("data").child_value(), kMaxLines, count)) {
    why = "lines takes one <data> element with a line count from 0 to " + std::to_string(kMaxLines) + ".";
    return false;
  }
  replydata.append_attribute("format") = "TEXT";
  std::string text;
  for (long i = 1; i <= count; ++i) {
    text += "line " + std::to_string(i) + " of " + std::to_string(count);
    if (i < count) text += '\n';
  }
  replydata.append_child("data").text() = text.c_str();
  return true;
}

struct Registered {
  ServiceEntry entry;
  EntryPoint run;
};

const std::vector<Registered>& Registry() {
  static const std::vector<Registered> registry{
      {{"kqhrx", "baseVariable", "base variable N of every <data>N</data>: value N squared"}, BaseVariable},
      {{"kqhrx", "echo", "requestdata's content, unchanged"}, Echo},
      {{"kqhrx", "lines", "<data>N</data>: N numbered text lines"}, Lines},
  };
  return registry;
}

}  // namespace

const std::vector<ServiceEntry>& Services() {
  static const std::vector<ServiceEntry> services = [] {
    std::vector<ServiceEntry> list;
    for (const auto& registered : Registry()) list.push_back(registered.entry);
    return list;
  }();
  return services;
}

Answer AnswerRequest(std::string_view body, bool utf8) {
  pugi::xml_document request;
  const pugi::xml_parse_result parsed = request.load_buffer(body.data(), body.size(), pugi::parse_default,
                                                            utf8 ? pugi::encoding_utf8 : pugi::encoding_auto);
  if (!parsed) {
    return Fault(kFaultMalformed,
                 "The request document is not well-formed XML: " + std::string(parsed.description()) + " at " +
                     Position(body, parsed.offset) + ".",
                 {}, std::string(), std::string());
  }
  if (const Inspection found = Inspect(request); found.node) {
    const std::string at = Position(body, found.node.offset_debug() - (found.node.type() == pugi::node_element));
    if (found.tooDeep) {
      return Fault(kFaultTooDeep,
                   "The request document is nested deeper than " + std::to_string(kMaxNesting) +
                       " levels of elements, the most this manager reads: <" + found.node.name() + "> at " + at + ".",
                   {}, std::string(), std::string());
    }
    return Fault(kFaultMalformed,
                 "The request document is not well-formed XML: text that is not valid UTF-8, or a character XML "
                 "does not allow, near " + at + ".",
                 {}, std::string(), std::string());
  }
  pugi::xml_node root = request.document_element();
  pugi::xml_node webapirequest = std::strcmp(root.name(), "webapirequest") == 0 ? root : root.child("webapirequest");
  if (!webapirequest) {
    return Fault(kFaultNotARequest, "The document is not a request: it has no webapirequest element.",
                 {"expected: <kqxml version='1.0'><webapirequest>...</webapirequest></kqxml>"}, std::string(),
                 std::string());
  }
  const pugi::xml_node named = webapirequest.child("service");
  const std::string service = named.attribute("name").value();
  const std::string entrypoint = named.attribute("entrypoint").value();
  if (!named || service.empty() || entrypoint.empty()) {
    return Fault(kFaultNotARequest, "The request names no service: <service name='...' entrypoint='...' /> is missing.",
                 {}, service, entrypoint);
  }
  bool serviceKnown = false;
  std::string entrypoints;
  for (const auto& registered : Registry()) {
    if (service != registered.entry.service) continue;
    serviceKnown = true;
    entrypoints += (entrypoints.empty() ? "" : ", ") + std::string(registered.entry.entrypoint);
    if (entrypoint != registered.entry.entrypoint) continue;
    pugi::xml_document reply;
    pugi::xml_node replydata = Frame(reply, service, entrypoint).append_child("replydata");
    std::string why;
    const pugi::xml_node requestdata = webapirequest.child("requestdata");
    if (!registered.run(requestdata, replydata, why)) return Fault(kFaultBadData, why, {}, service, entrypoint);
    std::string document = Print(reply);
    EchoContent(requestdata, document);
    const std::size_t most = kAnswerFactor * body.size() + kAnswerExtra;
    if (document.size() > most) {
      return Fault(kFaultBadData,
                   "The answer would be " + std::to_string(document.size()) + " bytes, more than " +
                       std::to_string(kAnswerFactor) + " times the request plus " +
                       std::to_string(kAnswerExtra >> 20) + " MiB.",
                   {}, service, entrypoint);
    }
    return {std::move(document), service, entrypoint, 0};
  }
  if (!serviceKnown) {
    std::string known;
    for (const auto& entry : Services())
      if (known.find(entry.service) == std::string::npos) known += (known.empty() ? "" : ", ") + std::string(entry.service);
    return Fault(kFaultUnknownService, "Unknown service \"" + service + "\".", {"known services: " + known}, service,
                 entrypoint);
  }
  return Fault(kFaultUnknownEntry, "Service \"" + service + "\" has no entry point \"" + entrypoint + "\".",
               {"its entry points: " + entrypoints}, service, entrypoint);
}

std::string StatusDocument(const StatusInfo& info) {
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("kqxml");
  root.append_attribute("version") = "1.0";
  pugi::xml_node status = root.append_child("webapistatus");
  status.append_attribute("state") = "ready";
  pugi::xml_node manager = status.append_child("manager");
  manager.append_attribute("name") = "webapi-manager";
  manager.append_attribute("listen") = info.listen.c_str();
  status.append_child("uptime").append_attribute("seconds") = info.uptimeSeconds;
  pugi::xml_node requests = status.append_child("requests");
  requests.append_attribute("answered") = info.answered;
  requests.append_attribute("faults") = info.faults;
  for (const auto& entry : Services()) {
    pugi::xml_node service = status.append_child("service");
    service.append_attribute("name") = entry.service;
    service.append_attribute("entrypoint") = entry.entrypoint;
  }
  return Print(doc);
}

}  // namespace manager
