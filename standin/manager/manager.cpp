// The manager host's HTTP side: routing, the delay, the failure modes and the request log.
#include "manager/manager.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>

#include "common/timestamp.h"
#include "manager/services.h"

namespace manager {
namespace {

constexpr const char* kXml = "text/xml; charset=UTF-8";
constexpr const char* kText = "text/plain; charset=UTF-8";
constexpr std::size_t kMaxRequestBytes = 16u << 20;

// What a handler tells the request log about the answer it gave; the log line is written once
// the answer has gone out (or was cut off).
struct Pending {
  bool set = false;
  std::string what = "-";  // service/entrypoint, "status", "-"
  std::size_t bytes = 0;
  std::string note;
};
thread_local Pending pending;

// httplib's server, able to let go of a port it bound but never served.
class HttpServer : public httplib::Server {
 public:
  void Release() {
    const socket_t sock = svr_sock_.exchange(INVALID_SOCKET);
    if (sock != INVALID_SOCKET) ::close(sock);
  }
};


bool ReadPort(const std::string& text, int& port) {
  if (text.empty() || text.size() > 5) return false;
  port = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    port = port * 10 + (c - '0');
  }
  return port <= 65535;
}

}  // namespace

const char* Usage() {
  return "usage: webapi-manager [--listen HOST:PORT] [--path PATH] [--delay MS]\n"
         "                      [--fail refuse|http-error|close-mid-reply] [--quiet]\n"
         "\n"
         "  --listen HOST:PORT  address to answer on (default 127.0.0.1:3380); port 0 picks a\n"
         "                      free port. The address taken is printed: \"listening on HOST:PORT\"\n"
         "  --path PATH         where request documents are posted (default /webapi)\n"
         "  --delay MS          wait MS milliseconds before every answer\n"
         "  --fail MODE         fail on purpose: refuse (hold the port, refuse connections),\n"
         "                      http-error (answer 500), close-mid-reply (send half, then close)\n"
         "  --quiet             no request log on stderr\n";
}

std::optional<Options> ParseCommandLine(const std::vector<std::string>& args, std::string& error, bool& help) {
  Options options;
  options.log = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
  help = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      help = true;
      return options;
    }
    if (arg == "--quiet") {
      options.log = nullptr;
      continue;
    }
    if (arg != "--listen" && arg != "--path" && arg != "--delay" && arg != "--fail") {
      error = "unknown option \"" + arg + "\"";
      return std::nullopt;
    }
    if (i + 1 >= args.size()) {
      error = arg + " needs a value";
      return std::nullopt;
    }
    const std::string& value = args[++i];
    if (arg == "--listen") {
      std::string host;
      std::string port;
      if (!value.empty() && value.front() == '[') {
        const std::size_t close = value.find("]:");
        if (close == std::string::npos) {
          error = "--listen " + value + ": expected [IPv6]:PORT";
          return std::nullopt;
        }
        host = value.substr(1, close - 1);
        port = value.substr(close + 2);
      } else {
        const std::size_t colon = value.rfind(':');
        if (colon == std::string::npos) {
          error = "--listen " + value + ": expected HOST:PORT";
          return std::nullopt;
        }
        host = value.substr(0, colon);
        port = value.substr(colon + 1);
      }
      if (host.empty() || !ReadPort(port, options.port)) {
        error = "--listen " + value + ": expected HOST:PORT with a port from 0 to 65535";
        return std::nullopt;
      }
      options.host = host;
    } else if (arg == "--path") {
      if (value.empty() || value.front() != '/') {
        error = "--path " + value + ": a path starts with /";
        return std::nullopt;
      }
      options.path = value;
    } else if (arg == "--delay") {
      long ms = 0;
      bool ok = !value.empty() && value.size() <= 7;
      for (const char c : value) {
        if (c < '0' || c > '9') ok = false;
        else ms = ms * 10 + (c - '0');
      }
      if (!ok) {
        error = "--delay " + value + ": expected milliseconds from 0 to 9999999";
        return std::nullopt;
      }
      options.delay = std::chrono::milliseconds(ms);
    } else {
      if (value == "refuse") options.fail = FailMode::kRefuse;
      else if (value == "http-error") options.fail = FailMode::kHttpError;
      else if (value == "close-mid-reply") options.fail = FailMode::kCloseMidReply;
      else {
        error = "--fail " + value + ": expected refuse, http-error or close-mid-reply";
        return std::nullopt;
      }
    }
  }
  return options;
}

struct Manager::Impl {
  explicit Impl(Options o) : options(std::move(o)) {}

  void Install();
  void Delay();
  // Answers with body, or fails the way the options ask.
  void Send(httplib::Response& res, int status, std::string body, const char* type, std::string what,
            std::string note = std::string());
  void LogLine(const httplib::Request& req, int status);

  Options options;
  HttpServer server;
  int port = -1;
  int refuseSocket = -1;
  bool bound = false;
  std::atomic<bool> stopping{false};
  std::atomic<bool> serving{false};
  std::atomic<bool> ended{false};  // Serve has returned
  std::mutex mutex;  // guards nothing but the wake-ups below
  std::condition_variable wake;
  std::mutex logMutex;
  std::atomic<unsigned long long> answered{0};
  std::atomic<unsigned long long> faults{0};
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
  std::thread thread;
};

void Manager::Impl::Delay() {
  if (options.delay.count() <= 0) return;
  std::unique_lock<std::mutex> lock(mutex);
  wake.wait_for(lock, options.delay, [this] { return stopping.load(); });
}

void Manager::Impl::Send(httplib::Response& res, int status, std::string body, const char* type, std::string what,
                         std::string note) {
  pending = Pending{true, std::move(what), body.size(), std::move(note)};
  if (options.fail == FailMode::kHttpError) {
    body = "webapi-manager fails on purpose (--fail http-error).\n";
    pending.bytes = body.size();
    pending.note = "failing on purpose";
    res.status = 500;
    res.set_content(body, kText);
    return;
  }
  res.status = status;
  if (options.fail == FailMode::kCloseMidReply) {
    auto whole = std::make_shared<const std::string>(std::move(body));
    const std::size_t half = whole->size() / 2;
    pending.note = "cut off after " + std::to_string(half) + " of " + std::to_string(whole->size()) + " bytes";
    res.set_content_provider(whole->size(), type, [whole, half](std::size_t offset, std::size_t, httplib::DataSink& sink) {
      if (offset < half) sink.write(whole->data() + offset, half - offset);
      return false;  // ends the connection mid-reply
    });
    return;
  }
  res.set_content(body, type);
}

void Manager::Impl::LogLine(const httplib::Request& req, int status) {
  Pending entry = std::exchange(pending, Pending{});
  if (!options.log) return;
  std::string line = standin::LocalTimestamp() + " " + req.remote_addr + ":" + std::to_string(req.remote_port) + " " + req.method +
                     " " + req.path + " " + entry.what + " " + std::to_string(status) + " " +
                     std::to_string(entry.bytes) + " bytes";
  if (!entry.note.empty()) line += " (" + entry.note + ")";
  std::lock_guard<std::mutex> lock(logMutex);
  options.log(line);
}

void Manager::Impl::Install() {
  server.set_payload_max_length(kMaxRequestBytes);
  // SO_REUSEADDR only: httplib would also set SO_REUSEPORT, which lets a second manager share
  // the port unnoticed instead of being told that it is in use.
  server.set_socket_options([](socket_t sock) {
    const int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  server.set_keep_alive_timeout(1);
  server.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
    if (!pending.set) pending.bytes = res.body.size();
    LogLine(req, res.status);
  });
  server.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
    Delay();
    if (req.path == "/status") {
      StatusInfo info;
      info.listen = options.host + ":" + std::to_string(port);
      info.uptimeSeconds =
          std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started).count();
      info.answered = answered.load();
      info.faults = faults.load();
      Send(res, 200, StatusDocument(info), kXml, "status");
      return;
    }
    Send(res, 404, "Nothing here. Status: GET /status; request documents: POST " + options.path + "\n", kText, "-");
  });
  server.Post(".*", [this](const httplib::Request& req, httplib::Response& res) {
    Delay();
    if (req.path != options.path) {
      Send(res, 404, "Request documents go to POST " + options.path + ", not " + req.path + ".\n", kText, "-");
      return;
    }
    std::string type = req.get_header_value("Content-Type");
    for (char& c : type) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    Answer answer = AnswerRequest(req.body, type.find("charset=utf-8") != std::string::npos);
    ++answered;
    if (answer.fault) ++faults;
    Send(res, 200, std::move(answer.document), kXml, answer.service + "/" + answer.entrypoint,
         answer.fault ? "fault " + std::to_string(answer.fault) : std::string());
  });
  const auto notAllowed = [this](const httplib::Request&, httplib::Response& res) {
    Delay();
    res.set_header("Allow", "GET, POST");
    Send(res, 405, "Only GET /status and POST " + options.path + " are answered here.\n", kText, "-");
  };
  server.Put(".*", httplib::Server::Handler(notAllowed));
  server.Delete(".*", httplib::Server::Handler(notAllowed));
  server.Patch(".*", httplib::Server::Handler(notAllowed));
  server.Options(".*", notAllowed);
}

Manager::Manager(Options options) : impl_(std::make_unique<Impl>(std::move(options))) { impl_->Install(); }

Manager::~Manager() {
  Stop();
  if (impl_->thread.joinable()) impl_->thread.join();
  impl_->server.Release();
  if (impl_->refuseSocket >= 0) ::close(impl_->refuseSocket);
}

void Manager::Bind() {
  Impl& m = *impl_;
  if (m.bound) return;
  const std::string where = m.options.host + ":" + std::to_string(m.options.port);
  if (m.options.fail == FailMode::kRefuse) {
    // Bound but not listening: the port is taken, and every connection attempt is refused.
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(m.options.port);
    const int looked = getaddrinfo(m.options.host.c_str(), service.c_str(), &hints, &found);
    if (looked != 0) throw std::runtime_error("cannot use " + where + ": " + gai_strerror(looked));
    int sock = -1;
    std::string why = "no address";
    for (addrinfo* a = found; a && sock < 0; a = a->ai_next) {
      sock = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
      if (sock < 0) continue;
      if (::bind(sock, a->ai_addr, a->ai_addrlen) != 0) {
        why = std::strerror(errno);
        ::close(sock);
        sock = -1;
      }
    }
    freeaddrinfo(found);
    if (sock < 0) throw std::runtime_error("cannot take " + where + ": " + why);
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    ::getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length);
    m.port = ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                                 : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    m.refuseSocket = sock;
  } else if (m.options.port == 0) {
    errno = 0;
    m.port = m.server.bind_to_any_port(m.options.host);
    if (m.port < 0) throw std::runtime_error("cannot listen on " + where + ": " + std::strerror(errno));
  } else {
    errno = 0;
    if (!m.server.bind_to_port(m.options.host, m.options.port))
      throw std::runtime_error("cannot listen on " + where + ": " + std::strerror(errno));
    m.port = m.options.port;
  }
  m.bound = true;
}

int Manager::Port() const { return impl_->port; }

std::string Manager::Address() const {
  const std::string& host = impl_->options.host;
  return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + std::to_string(impl_->port);
}

bool Manager::Serve() {
  Impl& m = *impl_;
  if (!m.bound) Bind();
  m.serving = true;
  bool ok = true;
  if (!m.stopping) {
    if (m.options.fail == FailMode::kRefuse) {
      std::unique_lock<std::mutex> lock(m.mutex);
      m.wake.wait(lock, [&m] { return m.stopping.load(); });
    } else {
      ok = m.server.listen_after_bind();
    }
  }
  m.serving = false;
  m.ended = true;
  return ok || m.stopping;
}

void Manager::Stop() {
  Impl& m = *impl_;
  {
    std::lock_guard<std::mutex> lock(m.mutex);
    m.stopping = true;
  }
  m.wake.notify_all();
  if (m.options.fail == FailMode::kRefuse) return;
  // httplib only stops a server that runs: wait for a Serve that has begun to get there.
  while (m.serving && !m.server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  m.server.stop();
}

void Manager::Start() {
  Impl& m = *impl_;
  Bind();
  m.thread = std::thread([this] { Serve(); });
  if (m.options.fail == FailMode::kRefuse) return;  // refusing needs no more than the bound port
  while (!m.server.is_running() && !m.ended) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (!m.server.is_running()) throw std::runtime_error("the manager stopped before it answered");
}

}  // namespace manager
