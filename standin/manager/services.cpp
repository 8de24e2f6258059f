// The services of the manager host and the documents it answers with.
#include "manager/manager.h"

#include <pugixml.hpp>

#include <cctype>

#include "common/common.h"

namespace manager {
namespace {

using standin::Where;

constexpr long kMaxVariable = 999999;
constexpr long kMaxLines = 100000;

std::string Print(const pugi::xml_document& doc) {
  standin::StringWriter writer;
  doc.save(writer, " ", pugi::format_indent | standin::kPrintFlags, pugi::encoding_utf8);
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
  for (std::size_t length = 0; !text.empty(); text.remove_prefix(length))
    if ((length = XmlCharacter(text)) == 0) return false;
  return true;
}

// The first node nested too deeply (tooDeep), or else holding text an answer cannot carry.
pugi::xml_node Inspect(const pugi::xml_document& doc, bool& tooDeep) {
  pugi::xml_node found;
  standin::WalkNodes(doc, [&](const pugi::xml_node& node, std::size_t depth) {
    bool sound = XmlText(node.name()) && XmlText(node.value());
    for (const pugi::xml_attribute& attribute : node.attributes())
      sound = sound && XmlText(attribute.name()) && XmlText(attribute.value());
    tooDeep = node.type() == pugi::node_element && depth >= standin::kMaxNesting;
    if (tooDeep || !sound) found = node;
    return !found;
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

Answer Fault(int code, const std::string& message, const std::string& service = "",
             const std::string& entrypoint = "", const std::string& detail = "") {
  pugi::xml_document doc;
  pugi::xml_node fault = Frame(doc, service, entrypoint).append_child("fault");
  fault.append_attribute("code") = code;
  fault.append_attribute("message") = message.c_str();
  if (!detail.empty()) fault.append_child("detail").text() = detail.c_str();
  return {Print(doc), service.empty() ? "-" : service, entrypoint.empty() ? "-" : entrypoint, code};
}

// A whole number from 0 to max with nothing else but surrounding white space.
bool ReadNumber(const char* text, long max, long& number) {
  std::string_view s(text);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return standin::ReadNumber(s, max, number);
}

// An entry point fills replydata from requestdata, or says why it cannot.
using EntryPoint = bool (*)(const pugi::xml_node& requestdata, pugi::xml_node replydata, std::string& why);

// baseVariable: for every <data>N</data>, the base variable number N, whose value is N squared.
bool BaseVariable(const pugi::xml_node& requestdata, pugi::xml_node replydata, std::string& why) {
  replydata.append_attribute("format") = "XML";
  pugi::xml_node data = replydata.append_child("data");
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
  }
  if (data.first_child()) return true;
  why = "baseVariable needs at least one <data> element with a variable number in requestdata.";
  return false;
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
  standin::StringWriter writer;
  for (const pugi::xml_node& child : requestdata.children()) {
    if (!writer.text.empty()) writer.text += indent;
    child.print(writer, "", pugi::format_raw | standin::kPrintFlags, pugi::encoding_utf8);
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
  for (long i = 1; i <= count; ++i)
    text += "line " + std::to_string(i) + " of " + std::to_string(count) + (i < count ? "\n" : "");
  replydata.append_child("data").text() = text.c_str();
  return true;
}

// The one service and its entry points, as the status document lists them.
constexpr const char* kService = "kqhrx";
struct Registered {
  const char* entrypoint;
  EntryPoint run;
};
constexpr Registered kEntryPoints[] = {{"baseVariable", BaseVariable}, {"echo", Echo}, {"lines", Lines}};

}  // namespace

Answer AnswerRequest(std::string_view body, bool utf8) {
  pugi::xml_document request;
  const pugi::xml_parse_result parsed = request.load_buffer(body.data(), body.size(), pugi::parse_default,
                                                            utf8 ? pugi::encoding_utf8 : pugi::encoding_auto);
  if (!parsed) {
    return Fault(kFaultMalformed, "The request document is not well-formed XML: " + std::string(parsed.description()) +
                                      " at " + Where(body, parsed.offset) + ".");
  }
  bool tooDeep = false;
  const pugi::xml_node found = Inspect(request, tooDeep);
  if (found && tooDeep) {
    return Fault(kFaultTooDeep, "The request document is nested deeper than " + std::to_string(standin::kMaxNesting) +
                                    " levels of elements, the most this manager reads: <" + found.name() + "> at " +
                                    Where(body, found) + ".");
  }
  if (found) {
    return Fault(kFaultMalformed,
                 "The request document is not well-formed XML: text that is not valid UTF-8, or a character XML "
                 "does not allow, near " + Where(body, found) + ".");
  }
  const pugi::xml_node webapirequest = standin::TopElement(request, "webapirequest");
  if (!webapirequest) {
    return Fault(kFaultNotARequest, "The document is not a request: it has no webapirequest element.", "", "",
                 "expected: <kqxml version='1.0'><webapirequest>...</webapirequest></kqxml>");
  }
  const pugi::xml_node named = webapirequest.child("service");
  const std::string service = named.attribute("name").value();
  const std::string entrypoint = named.attribute("entrypoint").value();
  if (!named || service.empty() || entrypoint.empty()) {
    return Fault(kFaultNotARequest, "The request names no service: <service name='...' entrypoint='...' /> is missing.",
                 service, entrypoint);
  }
  if (service != kService)
    return Fault(kFaultUnknownService, "Unknown service \"" + service + "\".", service, entrypoint,
                 "known services: " + std::string(kService));
  std::string entrypoints;
  for (const Registered& registered : kEntryPoints) {
    entrypoints += (entrypoints.empty() ? "" : ", ") + std::string(registered.entrypoint);
    if (entrypoint != registered.entrypoint) continue;
    pugi::xml_document reply;
    pugi::xml_node replydata = Frame(reply, service, entrypoint).append_child("replydata");
    std::string why;
    const pugi::xml_node requestdata = webapirequest.child("requestdata");
    if (!registered.run(requestdata, replydata, why)) return Fault(kFaultBadData, why, service, entrypoint);
    std::string document = Print(reply);
    EchoContent(requestdata, document);
    if (document.size() > kAnswerFactor * body.size() + kAnswerExtra) {
      return Fault(kFaultBadData, "The answer would be " + std::to_string(document.size()) + " bytes, more than " +
                                      std::to_string(kAnswerFactor) + " times the request plus " +
                                      std::to_string(kAnswerExtra >> 20) + " MiB.",
                   service, entrypoint);
    }
    return {std::move(document), service, entrypoint, 0};
  }
  return Fault(kFaultUnknownEntry, "Service \"" + service + "\" has no entry point \"" + entrypoint + "\".", service,
               entrypoint, "its entry points: " + entrypoints);
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
  for (const Registered& registered : kEntryPoints) {
    pugi::xml_node service = status.append_child("service");
    service.append_attribute("name") = kService;
    service.append_attribute("entrypoint") = registered.entrypoint;
  }
  return Print(doc);
}

}  // namespace manager
