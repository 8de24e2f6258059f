// The manager host's answers to HTTP requests: limits, refusals, routing, the log's escaping.
#include "manager/exchange.h"

#include <boost/asio/buffer.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/status.hpp>

#include <cctype>
#include <iterator>

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

Reply Refuse(unsigned status, std::string text, std::string note, bool close) {
  Reply reply;
  reply.status = status;
  reply.body = std::move(text) + "\n";
  reply.type = kText;
  reply.note = std::move(note);
  reply.close = close;
  reply.refusal = true;
  return reply;
}

// No Origin (not a browser, or a same-origin GET), or a page served from this machine's
// loopback. Anything else is a web page elsewhere that tries to drive the manager.
bool LoopbackOrigin(std::string_view origin) {
  if (origin.empty()) return true;
  const std::string lower = Lower(origin);
  std::string_view rest = lower;
  if (rest.substr(0, 7) == "http://") rest.remove_prefix(7);
  else if (rest.substr(0, 8) == "https://") rest.remove_prefix(8);
  else return false;
  std::string_view host = rest;
  if (!rest.empty() && rest.front() == '[') {
    const std::size_t close = rest.find(']');
    if (close == std::string_view::npos) return false;
    host = rest.substr(0, close + 1);
    rest.remove_prefix(close + 1);
  } else {
    host = rest.substr(0, rest.find(':'));
    rest.remove_prefix(host.size());
  }
  if (!rest.empty()) {
    if (rest.front() != ':' || rest.size() < 2 || rest.size() > 6) return false;
    for (const char c : rest.substr(1))
      if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  if (host == "localhost" || host == "[::1]") return true;
  if (host.substr(0, 4) != "127.") return false;
  int dots = 0;
  for (const char c : host) {
    if (c == '.') ++dots;
    else if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return dots == 3;
}

// text/..., application/xml and any .../...+xml; a POST without Content-Type is taken as XML.
bool AcceptedType(std::string_view type) {
  std::string media = Lower(type.substr(0, type.find(';')));
  while (!media.empty() && (media.back() == ' ' || media.back() == '\t')) media.pop_back();
  if (media.empty()) return true;
  if (media.rfind("text/", 0) == 0 && media.size() > 5) return true;
  if (media == "application/xml") return true;
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
  if (error == http::error::header_limit || error == boost::beast::http::error::buffer_overflow)
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
  const auto origin = request.find(http::field::origin);
  if (origin != request.end() && !LoopbackOrigin(Std(origin->value()))) {
    return Refuse(403, "Only pages served from this machine's loopback address may use the manager, not " +
                           Escaped(Std(origin->value())) + ".",
                  "refused origin " + Escaped(Std(origin->value())), false);
  }
  const std::string_view target = Std(request.target());
  const std::string_view path = target.substr(0, target.find('?'));
  const bool post = request.method() == http::verb::post;
  const bool get = request.method() == http::verb::get;
  const std::string type(Std(request[http::field::content_type]));
  if (post && !request.has_content_length() && !request.chunked()) {
    return Refuse(411, "A request document needs a Content-Length or chunked transfer coding.", "no length", true);
  }
  if (post && !AcceptedType(type)) {
    return Refuse(415, "Request documents are XML or text, not " + Escaped(type) + ".",
                  "refused type " + Escaped(type), false);
  }
  Reply reply;
  if (get && path == "/status") {
    reply.body = StatusDocument(status());
    reply.type = kXml;
    reply.what = "status";
  } else if (post && path == options.path) {
    Answer answer = AnswerRequest(boost::beast::buffers_to_string(request.body().data()), Lower(type).find("charset=utf-8") != std::string::npos);
    reply.body = std::move(answer.document);
    reply.type = kXml;
    reply.what = answer.service + "/" + answer.entrypoint;
    reply.document = true;
    reply.fault = answer.fault;
    if (answer.fault) reply.note = "fault " + std::to_string(answer.fault);
  } else if (get) {
    reply.status = 404;
    reply.body = "Nothing here. Status: GET /status; request documents: POST " + options.path + "\n";
    reply.type = kText;
  } else if (post) {
    reply.status = 404;
    reply.body = "Request documents go to POST " + options.path + ", not " + Escaped(path) + ".\n";
    reply.type = kText;
  } else {
    reply.status = 405;
    reply.body = "Only GET /status and POST " + options.path + " are answered here.\n";
    reply.type = kText;
    reply.allow = true;
  }
  reply.close = !request.keep_alive();
  return reply;
}

Reply RespondToBytes(std::string_view bytes, const Options& options, const std::function<StatusInfo()>& status) {
  RequestParser parser;
  Prepare(parser, options.limits);
  boost::beast::error_code error;
  while (!parser.is_done()) {
    const std::size_t used = parser.put(boost::asio::buffer(bytes.data(), bytes.size()), error);
    bytes.remove_prefix(used);
    if (error == http::error::need_more) {
      error = {};
      if (used == 0) {
        if (!parser.got_some()) {
          error = http::error::partial_message;
          break;
        }
        parser.put_eof(error);
        if (!error && !parser.is_done()) error = http::error::partial_message;
        if (error) break;
      }
      continue;
    }
    if (error) break;
    if (used == 0 && !parser.is_done()) {
      error = http::error::partial_message;
      break;
    }
  }
  if (error) return Refusal(error, options.limits);
  return Respond(parser.get(), options, status);
}

std::string Escaped(std::string_view text) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7E || c == '\\') {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::string Head(const Reply& reply, bool keepAlive) {
  std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " +
                     std::string(http::obsolete_reason(static_cast<http::status>(reply.status))) + "\r\n";
  head += "Server: webapi-manager\r\n";
  head += "Content-Type: " + reply.type + "\r\n";
  head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
  if (reply.allow) head += "Allow: GET, POST\r\n";
  head += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
  return head;
}

}  // namespace manager
