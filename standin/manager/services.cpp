// The services of the manager host and the documents it answers with.
#include "manager/services.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>

namespace manager {
namespace {

constexpr long kMaxVariable = 999999;
constexpr long kMaxLines = 100000;

class StringWriter : public pugi::xml_writer {
 public:
  void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
  std::string text;
};

std::string Print(const pugi::xml_document& doc) {
  StringWriter writer;
  doc.save(writer, " ", pugi::format_indent | pugi::format_no_declaration | pugi::format_attribute_single_quote,
           pugi::encoding_utf8);
  return writer.text;
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

// echo: requestdata's content, unchanged.
bool Echo(const pugi::xml_node& requestdata, pugi::xml_node replydata, std::string&) {
  const char* format = requestdata.attribute("format").value();
  replydata.append_attribute("format") = *format ? format : "XML";
  for (const pugi::xml_node& child : requestdata.children()) replydata.append_copy(child);
  return true;
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
    if (!registered.run(webapirequest.child("requestdata"), replydata, why))
      return Fault(kFaultBadData, why, {}, service, entrypoint);
    return {Print(reply), service, entrypoint, 0};
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
