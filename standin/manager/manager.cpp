// The manager host's HTTP side: connections, their deadlines, the delay, the failure modes and
// the request log, over Boost.Asio and Boost.Beast.
//
// One event loop on a few threads serves every connection, each on a strand of its own, so a
// client that sends slowly or not at all holds no thread; each wait has a deadline (see Limits).
#include "manager/manager.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <boost/asio/bind_executor.hpp>
#include <boost/asio/dispatch.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/read.hpp>

#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <utility>

#include "common/timestamp.h"
#include "manager/exchange.h"
#include "manager/services.h"

namespace manager {
namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;

namespace {

constexpr int kThreads = 4;
// After Stop, answers being written get this long before the loop is ended regardless.
constexpr auto kStopGrace = std::chrono::milliseconds(1000);
// After a refusal, what the client still sends is read and dropped for this long, so that
// closing does not reset the connection before the client has read the refusal.
constexpr auto kLinger = std::chrono::milliseconds(2000);

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

class Connection;

struct Manager::Impl {
  explicit Impl(Options o) : options(std::move(o)) {}

  StatusInfo Status() const;
  void Accept();
  void LogLine(const std::string& peer, const std::string& method, const std::string& target, const Reply& reply,
               std::size_t bytes);
  void Forget(Connection* connection);

  Options options;
  // Declared before the event loop, so that connections it destroys can still forget themselves.
  std::mutex mutex;  // guards connections, stopping's changes and the wake-up below
  std::condition_variable wake;
  std::map<Connection*, std::weak_ptr<Connection>> connections;
  std::mutex logMutex;
  std::atomic<unsigned long long> answered{0};
  std::atomic<unsigned long long> faults{0};
  std::atomic<bool> stopping{false};
  std::atomic<bool> serving{false};
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
  net::io_context io{kThreads};
  // The acceptor and the end of serving run on one strand.
  net::strand<net::io_context::executor_type> control{io.get_executor()};
  tcp::acceptor acceptor{control};
  net::steady_timer grace{control};
  int port = -1;
  int refuseSocket = -1;
  bool bound = false;
  std::thread thread;
};

// One client's connection: wait for a request's first byte, read it whole within the deadline,
// answer (after the delay), and again while the client keeps the connection.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(tcp::socket socket, Manager::Impl& manager)
      : stream_(std::move(socket)), delay_(stream_.get_executor()), manager_(manager), buffer_(manager.options.limits.headerBytes + 4096) {
    beast::error_code ignored;
    const tcp::endpoint peer = stream_.socket().remote_endpoint(ignored);
    const std::string address = peer.address().to_string();
    peer_ = (peer.address().is_v6() ? "[" + address + "]" : address) + ":" + std::to_string(peer.port());
  }
  ~Connection() { manager_.Forget(this); }

  void Start() {
    net::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->WaitForRequest(); });
  }

  // From Stop: a delayed answer goes out at once, a request not read whole is cut off.
  void Shutdown() {
    net::dispatch(stream_.get_executor(), [self = shared_from_this()] {
      if (self->state_ == State::kDelaying) self->delay_.cancel();
      else if (self->state_ != State::kWriting) self->Close();
    });
  }

 private:
  enum class State { kWaiting, kReading, kDelaying, kWriting, kLingering, kClosed };

  const Limits& limits() const { return manager_.options.limits; }

  void WaitForRequest() {
    if (manager_.stopping) return Close();
    state_ = State::kWaiting;
    if (buffer_.size() > 0) return ReadRequest();
    stream_.expires_after(limits().idleTimeout);
    stream_.async_read_some(buffer_.prepare(4096), [self = shared_from_this()](beast::error_code error, std::size_t n) {
      if (error) return self->Close();
      self->buffer_.commit(n);
      self->ReadRequest();
    });
  }

  void ReadRequest() {
    state_ = State::kReading;
    parser_.emplace();
    Prepare(*parser_, limits());
    stream_.expires_after(limits().requestDeadline);
    http::async_read(stream_, buffer_, *parser_, [self = shared_from_this()](beast::error_code error, std::size_t) {
      self->OnRead(error);
    });
  }

  void OnRead(beast::error_code error) {
    if (error == beast::error::timeout) {
      Reply cut;
      cut.status = 408;
      cut.note = "closed: no whole request within " + std::to_string(limits().requestDeadline.count()) + " ms";
      manager_.LogLine(peer_, "-", "-", cut, 0);
      return Close();
    }
    if (error == http::error::end_of_stream || error == net::error::eof || error == net::error::operation_aborted ||
        error == net::error::connection_reset || state_ == State::kClosed)
      return Close();
    if (error) {
      method_ = "-";
      target_ = "-";
      return Write(Refusal(error, limits()));
    }
    const Request& request = parser_->get();
    method_ = std::string(request.method_string());
    target_ = std::string(request.target());
    Reply reply = Respond(request, manager_.options, [this] { return manager_.Status(); });
    parser_.reset();
    if (reply.document) {
      ++manager_.answered;
      if (reply.fault) ++manager_.faults;
    }
    if (reply.refusal || manager_.options.delay.count() <= 0 || manager_.stopping) return Write(std::move(reply));
    state_ = State::kDelaying;
    delay_.expires_after(manager_.options.delay);
    delay_.async_wait([self = shared_from_this(), reply = std::move(reply)](beast::error_code) mutable {
      self->Write(std::move(reply));
    });
  }

  void Write(Reply reply) {
    state_ = State::kWriting;
    const std::size_t bytes = reply.body.size();
    std::size_t sent = bytes;
    if (!reply.refusal && manager_.options.fail == FailMode::kHttpError) {
      reply.status = 500;
      reply.body = "webapi-manager fails on purpose (--fail http-error).\n";
      reply.type = "text/plain; charset=UTF-8";
      reply.note = "failing on purpose";
      reply.allow = false;
      sent = reply.body.size();
    }
    const bool cut = !reply.refusal && manager_.options.fail == FailMode::kCloseMidReply;
    if (cut) {
      sent = bytes / 2;
      reply.note = "cut off after " + std::to_string(sent) + " of " + std::to_string(bytes) + " bytes";
    }
    if (manager_.stopping || cut) reply.close = true;
    out_ = Head(reply, !reply.close) + reply.body.substr(0, sent);
    stream_.expires_after(limits().writeDeadline);
    net::async_write(stream_, net::buffer(out_), [self = shared_from_this(), reply = std::move(reply), sent](
                                                     beast::error_code error, std::size_t) {
      self->out_.clear();
      self->manager_.LogLine(self->peer_, self->method_, self->target_, reply, error ? 0 : sent);
      if (error) return self->Close();
      if (reply.refusal) return self->Linger();
      if (reply.close) return self->Close();
      self->WaitForRequest();
    });
  }

  // Reads and drops what the client still sends, until it closes or kLinger has passed.
  void Linger() {
    if (manager_.stopping) return Close();
    state_ = State::kLingering;
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    stream_.expires_after(kLinger);
    Drain();
  }

  void Drain() {
    stream_.async_read_some(net::buffer(drain_), [self = shared_from_this()](beast::error_code error, std::size_t) {
      if (error) return self->Close();
      self->Drain();
    });
  }

  void Close() {
    state_ = State::kClosed;
    beast::error_code ignored;
    delay_.cancel();
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.close();
  }

  beast::tcp_stream stream_;
  net::steady_timer delay_;
  Manager::Impl& manager_;
  beast::flat_buffer buffer_;
  std::optional<RequestParser> parser_;
  std::string out_;
  std::string method_ = "-";
  std::string target_ = "-";
  std::string peer_;
  std::array<char, 16384> drain_{};
  State state_ = State::kWaiting;
};

StatusInfo Manager::Impl::Status() const {
  StatusInfo info;
  info.listen = options.host + ":" + std::to_string(port);
  info.uptimeSeconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started).count();
  info.answered = answered.load();
  info.faults = faults.load();
  return info;
}

void Manager::Impl::Accept() {
  acceptor.async_accept(net::make_strand(io), [this](beast::error_code error, tcp::socket socket) {
    if (stopping || !acceptor.is_open()) return;
    if (!error) {
      std::shared_ptr<Connection> connection;
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (connections.size() < options.limits.connections) {
          connection = std::make_shared<Connection>(std::move(socket), *this);
          connections.emplace(connection.get(), connection);
        }
      }
      if (connection) connection->Start();
      else socket.close(error);  // too many: closed at once rather than left waiting
    }
    Accept();
  });
}

void Manager::Impl::Forget(Connection* connection) {
  std::lock_guard<std::mutex> lock(mutex);
  connections.erase(connection);
  if (stopping && serving && connections.empty()) net::post(control, [this] { grace.cancel(); });
}

void Manager::Impl::LogLine(const std::string& peer, const std::string& method, const std::string& target,
                            const Reply& reply, std::size_t bytes) {
  if (!options.log) return;
  std::string line = standin::LocalTimestamp() + " " + peer + " " + Escaped(method) + " " + Escaped(target) + " " +
                     Escaped(reply.what) + " " + std::to_string(reply.status) + " " + std::to_string(bytes) + " bytes";
  if (!reply.note.empty()) line += " (" + Escaped(reply.note) + ")";
  std::lock_guard<std::mutex> lock(logMutex);
  options.log(line);
}

Manager::Manager(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}

Manager::~Manager() {
  Stop();
  if (impl_->thread.joinable()) impl_->thread.join();
  if (impl_->refuseSocket >= 0) ::close(impl_->refuseSocket);
}

void Manager::Bind() {
  Impl& m = *impl_;
  if (m.bound) return;
  const std::string where = m.options.host + ":" + std::to_string(m.options.port);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(m.options.port);
  const int looked = getaddrinfo(m.options.host.c_str(), service.c_str(), &hints, &found);
  if (looked != 0) throw std::runtime_error("cannot use " + where + ": " + gai_strerror(looked));
  std::string why = "no address";
  bool done = false;
  for (addrinfo* a = found; a && !done; a = a->ai_next) {
    if (m.options.fail == FailMode::kRefuse) {
      // Bound but not listening: the port is taken, and every connection attempt is refused.
      const int sock = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
      if (sock < 0) continue;
      if (::bind(sock, a->ai_addr, a->ai_addrlen) != 0) {
        why = std::strerror(errno);
        ::close(sock);
        continue;
      }
      m.refuseSocket = sock;
      sockaddr_storage address{};
      socklen_t length = sizeof address;
      ::getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length);
      m.port = ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                                   : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
      done = true;
      continue;
    }
    tcp::endpoint endpoint;
    endpoint.resize(a->ai_addrlen);
    std::memcpy(endpoint.data(), a->ai_addr, a->ai_addrlen);
    beast::error_code error;
    m.acceptor.open(endpoint.protocol(), error);
    // SO_REUSEADDR only, never SO_REUSEPORT: a second manager on the port is told it is in use.
    if (!error) m.acceptor.set_option(net::socket_base::reuse_address(true), error);
    if (!error) m.acceptor.bind(endpoint, error);
    if (!error) m.acceptor.listen(1024, error);
    if (error) {
      why = error.message();
      beast::error_code ignored;
      m.acceptor.close(ignored);
      continue;
    }
    m.port = m.acceptor.local_endpoint().port();
    done = true;
  }
  freeaddrinfo(found);
  if (!done) {
    throw std::runtime_error(std::string(m.options.fail == FailMode::kRefuse ? "cannot take " : "cannot listen on ") +
                             where + ": " + why);
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
  {
    std::lock_guard<std::mutex> lock(m.mutex);
    if (m.stopping) return true;
    m.serving = true;
  }
  if (m.options.fail == FailMode::kRefuse) {
    std::unique_lock<std::mutex> lock(m.mutex);
    m.wake.wait(lock, [&m] { return m.stopping.load(); });
    return true;
  }
  m.Accept();
  // A handler that throws (out of memory) costs its connection, never the manager.
  const auto run = [&m] {
    for (;;) {
      try {
        m.io.run();
        return;
      } catch (const std::exception& e) {
        if (m.options.log) {
          std::lock_guard<std::mutex> lock(m.logMutex);
          m.options.log(standin::LocalTimestamp() + " answering failed: " + Escaped(e.what()));
        }
      }
    }
  };
  std::vector<std::thread> helpers;
  for (int i = 1; i < kThreads; ++i) helpers.emplace_back(run);
  run();
  for (auto& helper : helpers) helper.join();
  std::lock_guard<std::mutex> lock(m.mutex);
  m.serving = false;
  return true;
}

void Manager::Stop() {
  Impl& m = *impl_;
  {
    std::lock_guard<std::mutex> lock(m.mutex);
    if (m.stopping.exchange(true)) return;
  }
  m.wake.notify_all();
  if (m.options.fail == FailMode::kRefuse) return;
  net::post(m.control, [&m] {
    beast::error_code ignored;
    m.acceptor.close(ignored);
    std::vector<std::shared_ptr<Connection>> open;
    {
      std::lock_guard<std::mutex> lock(m.mutex);
      for (auto& entry : m.connections)
        if (auto connection = entry.second.lock()) open.push_back(std::move(connection));
    }
    if (open.empty()) return m.io.stop();
    for (auto& connection : open) connection->Shutdown();
    // Ends the loop when the last connection is gone (which cancels the wait) or at the latest
    // after the grace.
    m.grace.expires_after(kStopGrace);
    m.grace.async_wait([&m](beast::error_code) {
      m.io.stop();
    });
  });
}

void Manager::Start() {
  Impl& m = *impl_;
  Bind();
  m.thread = std::thread([this] { Serve(); });
}

}  // namespace manager
