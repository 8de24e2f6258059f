// What the manager host answers: its services and the documents they answer with, and HTTP
// requests with their limits, refusals and routing; the log's escaping.
#include "manager/manager.h"

#include <arpa/inet.h>

#include <boost/algorithm/string.hpp>
#include <boost/asio/buffer.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/status.hpp>
#include <boost/locale/utf.hpp>
#include <pugixml.hpp>

#include <iterator>

#include "common/common.h"

namespace manager {
namespace http = boost::beast::http;
namespace strings = boost::algorithm;

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

// True when text is valid UTF-8 and holds only characters XML allows.
bool XmlText(std::string_view text) {
  namespace utf = boost::locale::utf;
  for (const char* at = text.data(); at != text.data() + text.size();) {
    const utf::code_point code = utf::utf_traits<char>::decode(at, text.data() + text.size());
    const bool control = code < 0x20 && code != '\t' && code != '\n' && code != '\r';
    if (code == utf::illegal || code == utf::incomplete || control || code == 0xFFFE || code == 0xFFFF) return false;
  }
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
  return standin::ReadNumber(strings::trim_copy(std::string(text)), max, number);
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

constexpr const char* kXml = "text/xml; charset=UTF-8";
constexpr const char* kText = "text/plain; charset=UTF-8";

std::string_view Std(boost::beast::string_view text) { return {text.data(), text.size()}; }

std::string Size(std::size_t bytes) {
  if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  if (bytes >= (1u << 10) && bytes % (1u << 10) == 0) return std::to_string(bytes >> 10) + " KiB";
  return std::to_string(bytes) + " bytes";
}

Reply Refuse(unsigned status, const std::string& text, std::string note, bool close) {
  Reply reply(status, text);
  reply.note = std::move(note);
  reply.close = close;
  reply.refusal = true;
  return reply;
}

// No Origin (not a browser, or a same-origin GET), or a page served from this machine's loopback,
// with or without a port. Anything else is a web page elsewhere that tries to drive the manager.
bool LoopbackOrigin(std::string_view origin) {
  if (origin.empty()) return true;
  std::string authority = strings::to_lower_copy(std::string(origin));
  if (!strings::starts_with(authority, "http://") && !strings::starts_with(authority, "https://")) return false;
  authority.erase(0, authority.find("//") + 2);
  const std::size_t bracket = authority.rfind(']');
  if (authority.find(':', bracket == std::string::npos ? 0 : bracket) == std::string::npos) authority += ":0";
  std::string why;
  const auto host = standin::ParseHostPort(authority, why, 0);
  unsigned char v4[4];
  return host && (host->host == "localhost" || host->host == "::1" ||
                  (inet_pton(AF_INET, host->host.c_str(), v4) == 1 && v4[0] == 127));
}

// text/..., application/xml and any .../...+xml; a POST without Content-Type is taken as XML.
bool AcceptedType(std::string_view type) {
  const std::string media = strings::to_lower_copy(strings::trim_copy(std::string(type.substr(0, type.find(';')))));
  if (media.empty() || media == "application/xml" || (strings::starts_with(media, "text/") && media.size() > 5))
    return true;
  return strings::ends_with(media, "+xml") && media.size() > 4 && media.find('/') != std::string::npos;
}

}  // namespace

Reply::Reply(unsigned code, const std::string& text) : status(code), body(text + "\n"), type(kText) {}

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

void Prepare(RequestParser& parser, const Limits& limits) {
  parser.header_limit(static_cast<std::uint32_t>(limits.headerBytes));
  parser.body_limit(static_cast<std::uint64_t>(limits.bodyBytes));
}

Reply Refusal(const boost::beast::error_code& error, const Limits& limits) {
  if (error == http::error::body_limit)
    return Refuse(413, "Request bodies are limited to " + Size(limits.bodyBytes) + ".",
                  "body over " + Size(limits.bodyBytes), true);
  if (error == http::error::header_limit || error == http::error::buffer_overflow)
    return Refuse(431, "Request headers are limited to " + Size(limits.headerBytes) + ".",
                  "header over " + Size(limits.headerBytes), true);
  return Refuse(400, "Not an HTTP/1.1 request that can be read: " + error.message() + ".", "unreadable request", true);
}

Reply Respond(const Request& request, const Options& options, const std::function<StatusInfo()>& status) {
  const std::size_t fields = static_cast<std::size_t>(std::distance(request.begin(), request.end()));
  if (fields > options.limits.headerFields) {
    return Refuse(431, "Requests are limited to " + std::to_string(options.limits.headerFields) + " header fields.",
                  std::to_string(fields) + " header fields", true);
  }
  const std::string origin = Escaped(Std(request[http::field::origin]));
  if (!LoopbackOrigin(Std(request[http::field::origin]))) {
    return Refuse(403, "Only pages served from this machine's loopback address may use the manager, not " + origin + ".",
                  "refused origin " + origin, false);
  }
  const std::string_view target = Std(request.target());
  const std::string_view path = target.substr(0, target.find('?'));
  const bool post = request.method() == http::verb::post;
  const bool get = request.method() == http::verb::get;
  const std::string type(Std(request[http::field::content_type]));
  if (post && !request.has_content_length() && !request.chunked())
    return Refuse(411, "A request document needs a Content-Length or chunked transfer coding.", "no length", true);
  if (post && !AcceptedType(type))
    return Refuse(415, "Request documents are XML or text, not " + Escaped(type) + ".", "refused type " + Escaped(type), false);
  Reply reply;
  if (get && path == "/status") {
    reply.body = StatusDocument(status());
    reply.type = kXml;
    reply.what = "status";
  } else if (post && path == options.path) {
    const bool utf8 = strings::icontains(type, "charset=utf-8");
    Answer answer = AnswerRequest(boost::beast::buffers_to_string(request.body().data()), utf8);
    reply.body = std::move(answer.document);
    reply.type = kXml;
    reply.what = answer.service + "/" + answer.entrypoint;
    reply.document = true;
    reply.fault = answer.fault;
    if (answer.fault) reply.note = "fault " + std::to_string(answer.fault);
  } else if (get) {
    reply = Reply(404, "Nothing here. Status: GET /status; request documents: POST " + options.path);
  } else if (post) {
    reply = Reply(404, "Request documents go to POST " + options.path + ", not " + Escaped(path) + ".");
  } else {
    reply = Reply(405, "Only GET /status and POST " + options.path + " are answered here.");
    reply.allow = true;
  }
  reply.close = !request.keep_alive();
  return reply;
}

std::string Escaped(std::string_view text) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7E || c == '\\') out += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
    else out += c;
  }
  return out;
}

std::string Head(const Reply& reply, bool keepAlive) {
  return "HTTP/1.1 " + std::to_string(reply.status) + " " +
         std::string(http::obsolete_reason(static_cast<http::status>(reply.status))) +
         "\r\nServer: webapi-manager\r\nContent-Type: " + reply.type +
         "\r\nContent-Length: " + std::to_string(reply.body.size()) + (reply.allow ? "\r\nAllow: GET, POST" : "") +
         (keepAlive ? "\r\nConnection: keep-alive\r\n\r\n" : "\r\nConnection: close\r\n\r\n");
}

}  // namespace manager
