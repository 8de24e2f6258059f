// The manager host: an HTTP/1.1 server that answers status requests and request documents and,
// when told to, fails the ways real servers fail.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/dynamic_body.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/parser.hpp>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace manager {

enum class FailMode {
  kNone,
  kRefuse,         // holds the port without listening: every connection is refused
  kHttpError,      // answers everything with 500 Internal Server Error
  kCloseMidReply,  // announces the whole answer, sends half of it and closes the connection
};

// What one client may ask of the manager: past a limit it is refused or cut off, so that none
// holds more than a bounded share of memory or of the manager's time.
struct Limits {
  std::size_t bodyBytes = 16u << 20;                 // any framing; over it: 413
  std::size_t headerBytes = 64u << 10;               // request line and header fields; over it: 431
  std::size_t headerFields = 100;                    // over it: 431
  std::chrono::milliseconds requestDeadline{10000};  // from a request's first byte until read whole
  std::chrono::milliseconds idleTimeout{5000};       // waiting for a request's first byte
  std::chrono::milliseconds writeDeadline{10000};    // for an answer to be taken
  std::size_t connections = 512;                     // more are closed as soon as they are accepted
};

struct Options {
  std::string host = "127.0.0.1";
  int port = 3380;                  // 0: any free port
  std::string path = "/webapi";     // where request documents are posted
  std::chrono::milliseconds delay{0};
  FailMode fail = FailMode::kNone;
  // The failure touches only the first failFirst connections; 0: every one. A refusal of the
  // first connections accepts each and resets it at once: refused ones could not be counted.
  std::size_t failFirst = 0;
  Limits limits;
  // Receives one line per request; none when empty.
  std::function<void(const std::string&)> log;
};

// Bound without listening, so that every connection is refused.
inline bool HoldsPort(const Options& options) { return options.fail == FailMode::kRefuse && options.failFirst == 0; }

// Reads the command line (without the program name); the request log goes to stderr unless
// --quiet. On error nullopt and why; help is set for --help.
std::optional<Options> ParseCommandLine(const std::vector<std::string>& args, std::string& error, bool& help);
const char* Usage();

enum FaultCode : int {
  kFaultMalformed = 100,       // not well-formed XML
  kFaultNotARequest = 101,     // no webapirequest element, or it lacks its service element
  kFaultUnknownService = 102,  // no such service
  kFaultUnknownEntry = 103,    // the service has no such entry point
  kFaultBadData = 104,         // the entry point cannot use the request data
  kFaultTooDeep = 105,         // elements nested deeper than standin::kMaxNesting
};
// No answer is larger than kAnswerFactor times the request plus kAnswerExtra bytes; an entry
// point whose answer would be is refused (fault 104).
constexpr std::size_t kAnswerFactor = 4;
constexpr std::size_t kAnswerExtra = 4u << 20;

struct Answer {
  std::string document;    // the reply or fault document, UTF-8
  std::string service;     // as the request named them ("-" when it did not)
  std::string entrypoint;
  int fault = 0;           // the fault code, 0 for a reply
};

// Answers one request document. Text that is not valid UTF-8 once decoded, or holds characters
// XML does not allow, is refused as not well-formed (fault 100) rather than copied into an
// answer. utf8: the sender said charset=UTF-8, which wins over the document's declaration;
// otherwise a byte order mark or the declaration tells the encoding, UTF-8 when neither does.
Answer AnswerRequest(std::string_view body, bool utf8 = false);

struct StatusInfo {
  std::string listen;       // "host:port"
  long long uptimeSeconds = 0;
  unsigned long long answered = 0;
  unsigned long long faults = 0;
};

std::string StatusDocument(const StatusInfo& info);

// A body arrives in blocks that are never moved while it grows: reading one up to the limit
// takes no more than the limit.
using Request = boost::beast::http::request<boost::beast::http::dynamic_body>;
using RequestParser = boost::beast::http::request_parser<boost::beast::http::dynamic_body>;

// One answer as it goes out. Refusals (400, 403, 411, 413, 415, 431) are never delayed nor
// failed on purpose.
struct Reply {
  Reply() = default;
  Reply(unsigned code, const std::string& text);  // text/plain: the text and a line break
  unsigned status = 200;
  std::string body;
  std::string type;        // Content-Type
  std::string what = "-";  // for the log: service/entrypoint, "status" or "-"
  std::string note;        // for the log: fault code, limit hit ...
  bool close = false;      // end the connection after this answer
  bool refusal = false;
  bool allow = false;      // send "Allow: GET, POST"
  bool document = false;   // a request document was answered (counted in the status)
  int fault = 0;           // its fault code, 0 for a reply
};

void Prepare(RequestParser& parser, const Limits& limits);

// The refusal for a request that could not be read: 413 over the body limit (any framing),
// 431 over the header limit, 400 otherwise.
Reply Refusal(const boost::beast::error_code& error, const Limits& limits);

// The answer to a request read whole: 431 for too many header fields, 403 for a request from
// a web page of another origin than loopback, 411 for a POST without a length, 415 for a POST
// whose Content-Type is neither XML nor text; then GET /status, POST <path>, 404 and 405.
Reply Respond(const Request& request, const Options& options, const std::function<StatusInfo()>& status);

// Text for the request log: control characters, bytes above 126 and '\' as \xNN.
std::string Escaped(std::string_view text);

// The head of an answer (status line and fields) with Content-Length of the whole body.
std::string Head(const Reply& reply, bool keepAlive);

class Connection;

class Manager {
 public:
  explicit Manager(Options options) : options_(std::move(options)) {}
  ~Manager();  // stops and waits for Start's thread

  void Bind();  // takes the port; throws std::runtime_error when it cannot
  int Port() const { return port_; }  // the port taken (the free one picked for port 0)
  std::string Address() const;  // "host:port" as clients reach it
  bool Serve();  // answers until Stop; false when serving failed
  // Ends Serve from any thread (also before it began), within about a second whatever the
  // clients do: waiting answers are sent at once, requests still being read are cut off.
  void Stop();
  void Start();  // Bind, then Serve on a thread of its own

 private:
  friend class Connection;
  void Accept();
  void Log(const std::string& line) const;

  // All of it lives on the loop's thread, but for Stop, which posts to it.
  Options options_;
  // Declared before the event loop, so that connections it destroys can still forget themselves.
  std::map<Connection*, std::weak_ptr<Connection>> connections_;
  StatusInfo status_;  // its listen address and counts; the uptime is counted when asked
  const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  std::atomic<bool> stopping_{false};
  bool serving_ = false;
  boost::asio::io_context io_{1};
  boost::asio::ip::tcp::acceptor acceptor_{io_};
  boost::asio::steady_timer grace_{io_};
  int port_ = -1;
  std::size_t failed_ = 0;  // connections that met the failure
  std::thread thread_;
};

}  // namespace manager
