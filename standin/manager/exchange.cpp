// The manager host's answers to HTTP requests: limits, refusals, routing, the log's escaping.
#include "manager/manager.h"

#include <arpa/inet.h>

#include <boost/asio/buffer.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/status.hpp>

#include <cctype>
#include <iterator>

#include "common/common.h"

namespace manager {
namespace http = boost::beast::http;

namespace {

constexpr const char* kXml = "text/xml; charset=UTF-8";
constexpr const char* kText = "text/plain; charset=UTF-8";

std::string_view Std(boost::beast::string_view text) { return {text.data(), text.size()}; }

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

std::string Size(std::size_t bytes) {
  if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  if (bytes >= (1u << 10) && bytes % (1u << 10) == 0) return std::to_string(bytes >> 10) + " KiB";
  return std::to_string(bytes) + " bytes";
}

Reply Plain(unsigned status, const std::string& text) {
  Reply reply;
  reply.status = status;
  reply.body = text + "\n";
  reply.type = kText;
  return reply;
}

Reply Refuse(unsigned status, const std::string& text, std::string note, bool close) {
  Reply reply = Plain(status, text);
  reply.note = std::move(note);
  reply.close = close;
  reply.refusal = true;
  return reply;
}

// No Origin (not a browser, or a same-origin GET), or a page served from this machine's
// loopback, with or without a port. Anything else is a web page elsewhere that tries to drive
// the manager.
bool LoopbackOrigin(std::string_view origin) {
  if (origin.empty()) return true;
  std::string authority = Lower(origin);
  const std::size_t scheme = authority.rfind("http://", 0) == 0 ? 7 : authority.rfind("https://", 0) == 0 ? 8 : 0;
  if (scheme == 0) return false;
  authority.erase(0, scheme);
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
  std::string media = Lower(type.substr(0, type.find(';')));
  while (!media.empty() && (media.back() == ' ' || media.back() == '\t')) media.pop_back();
  if (media.empty() || media == "application/xml" || (media.rfind("text/", 0) == 0 && media.size() > 5)) return true;
  return media.size() > 4 && media.compare(media.size() - 4, 4, "+xml") == 0 && media.find('/') != std::string::npos;
}

}  // namespace

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
    const bool utf8 = Lower(type).find("charset=utf-8") != std::string::npos;
    Answer answer = AnswerRequest(boost::beast::buffers_to_string(request.body().data()), utf8);
    reply.body = std::move(answer.document);
    reply.type = kXml;
    reply.what = answer.service + "/" + answer.entrypoint;
    reply.document = true;
    reply.fault = answer.fault;
    if (answer.fault) reply.note = "fault " + std::to_string(answer.fault);
  } else if (get) {
    reply = Plain(404, "Nothing here. Status: GET /status; request documents: POST " + options.path);
  } else if (post) {
    reply = Plain(404, "Request documents go to POST " + options.path + ", not " + Escaped(path) + ".");
  } else {
    reply = Plain(405, "Only GET /status and POST " + options.path + " are answered here.");
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
