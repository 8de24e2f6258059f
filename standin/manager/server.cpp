// The manager host's server: its connections over Boost.Asio and Boost.Beast (deadlines, the
// delay, failure modes, the request log, stopping). One event loop on one thread serves them
// all: a client that sends slowly or not at all holds no thread, only its connection.
#include "manager/manager.h"

#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/read.hpp>

#include <array>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "common/common.h"

namespace manager {
namespace net = boost::asio;
namespace beast = boost::beast;
using tcp = net::ip::tcp;

namespace {

// After Stop, answers being written get this long before the loop is ended regardless.
constexpr auto kStopGrace = std::chrono::milliseconds(1000);
// After a refusal, what the client still sends is read and dropped for this long, so that
// closing does not reset the connection before the client has read the refusal.
constexpr auto kLinger = std::chrono::milliseconds(2000);

}  // namespace

// One client's connection: wait for a request's first byte, read it whole within the deadline,
// answer (after the delay), and again while the client keeps the connection.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(tcp::socket socket, Manager& manager, bool failing)
      : stream_(std::move(socket)), delay_(manager.io_), manager_(manager), buffer_(limits().headerBytes + 4096),
        failing_(failing) {
    beast::error_code ignored;
    const tcp::endpoint peer = stream_.socket().remote_endpoint(ignored);
    peer_ = standin::HostPort{peer.address().to_string(), peer.port()}.Authority();
  }
  ~Connection() {
    manager_.connections_.erase(this);
    if (manager_.serving_ && manager_.stopping_ && manager_.connections_.empty()) manager_.grace_.cancel();
  }

  // Waits for a request's first byte, then reads it whole.
  void WaitForRequest() {
    if (manager_.stopping_) return Close();
    state_ = State::kReading;
    if (buffer_.size() > 0) return ReadRequest();
    stream_.expires_after(limits().idleTimeout);
    stream_.async_read_some(buffer_.prepare(4096), [self = shared_from_this()](beast::error_code error, std::size_t n) {
      if (error) return self->Close();
      self->buffer_.commit(n);
      self->ReadRequest();
    });
  }

  // From Stop: a delayed answer goes out at once, a request not read whole is cut off.
  void Shutdown() {
    if (state_ == State::kDelaying) delay_.cancel();
    else if (state_ != State::kWriting) Close();
  }

 private:
  enum class State { kReading, kDelaying, kWriting, kClosed };

  const Limits& limits() const { return manager_.options_.limits; }

  void ReadRequest() {
    parser_.emplace();
    Prepare(*parser_, limits());
    stream_.expires_after(limits().requestDeadline);
    beast::http::async_read(stream_, buffer_, *parser_, [self = shared_from_this()](beast::error_code error, std::size_t) {
      self->OnRead(error);
    });
  }

  void OnRead(beast::error_code error) {
    if (error == beast::error::timeout) {
      Reply cut;
      cut.status = 408;
      cut.note = "closed: no whole request within " + std::to_string(limits().requestDeadline.count()) + " ms";
      Log(cut, 0);
      return Close();
    }
    if (error == beast::http::error::end_of_stream || error == net::error::eof ||
        error == net::error::operation_aborted || error == net::error::connection_reset || state_ == State::kClosed)
      return Close();
    if (error) return Write(Refusal(error, limits()));
    method_ = std::string(parser_->get().method_string());
    target_ = std::string(parser_->get().target());
    StatusInfo& status = manager_.status_;
    Reply reply = Respond(parser_->get(), manager_.options_, [&] {
      status.uptimeSeconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() -
                                                                              manager_.started_).count();
      return status;
    });
    parser_.reset();
    status.answered += reply.document;
    status.faults += reply.document && reply.fault;
    if (reply.refusal || manager_.options_.delay.count() <= 0 || manager_.stopping_) return Write(std::move(reply));
    state_ = State::kDelaying;
    delay_.expires_after(manager_.options_.delay);
    delay_.async_wait([self = shared_from_this(), reply = std::move(reply)](beast::error_code) mutable {
      self->Write(std::move(reply));
    });
  }

  // Sends the answer, or with --fail http-error a 500, or with --fail close-mid-reply half of it.
  void Write(Reply reply) {
    state_ = State::kWriting;
    const FailMode fail = reply.refusal || !failing_ ? FailMode::kNone : manager_.options_.fail;
    if (fail == FailMode::kHttpError) {  // in place of the answer, for the same log entry and connection
      Reply failed(500, "webapi-manager fails on purpose (--fail http-error).");
      failed.what = reply.what;
      failed.close = reply.close;
      failed.note = "failing on purpose";
      reply = std::move(failed);
    }
    std::size_t sent = reply.body.size();
    if (fail == FailMode::kCloseMidReply) {
      sent /= 2;
      reply.note = "cut off after " + std::to_string(sent) + " of " + std::to_string(reply.body.size()) + " bytes";
    }
    reply.close = reply.close || manager_.stopping_ || fail == FailMode::kCloseMidReply;
    out_ = Head(reply, !reply.close) + reply.body.substr(0, sent);
    stream_.expires_after(limits().writeDeadline);
    net::async_write(stream_, net::buffer(out_), [self = shared_from_this(), reply = std::move(reply), sent](
                                                     beast::error_code error, std::size_t) {
      self->out_.clear();
      self->Log(reply, error ? 0 : sent);
      if (error || (reply.close && !reply.refusal)) return self->Close();
      if (reply.refusal) return self->Linger();
      self->WaitForRequest();
    });
  }

  // Reads and drops what the client still sends, until it closes or kLinger has passed.
  void Linger() {
    if (manager_.stopping_) return Close();
    state_ = State::kReading;
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

  // One line of the request log: peer, method, target, service, status, bytes sent, note.
  void Log(const Reply& reply, std::size_t bytes) const {
    std::string line = peer_ + " " + Escaped(method_) + " " + Escaped(target_) + " " + Escaped(reply.what) + " " +
                       std::to_string(reply.status) + " " + std::to_string(bytes) + " bytes";
    if (!reply.note.empty()) line += " (" + Escaped(reply.note) + ")";
    manager_.Log(line);
  }

  beast::tcp_stream stream_;
  net::steady_timer delay_;
  Manager& manager_;
  beast::flat_buffer buffer_;
  std::optional<RequestParser> parser_;
  std::string out_;
  std::string method_ = "-";
  std::string target_ = "-";
  std::string peer_;
  std::array<char, 16384> drain_{};
  State state_ = State::kReading;
  const bool failing_;  // the failure mode applies to this connection
};

void Manager::Accept() {
  acceptor_.async_accept([this](beast::error_code error, tcp::socket socket) {
    if (stopping_ || !acceptor_.is_open()) return;
    const bool failing =
        !error && options_.fail != FailMode::kNone && (options_.failFirst == 0 || ++failed_ <= options_.failFirst);
    if (!error && failing && options_.fail == FailMode::kRefuse) {  // reset at once, without an answer
      socket.set_option(net::socket_base::linger(true, 0), error);
      socket.close(error);
    } else if (!error && connections_.size() < options_.limits.connections) {
      const auto connection = std::make_shared<Connection>(std::move(socket), *this, failing);
      connections_.emplace(connection.get(), connection);
      connection->WaitForRequest();
    }  // else too many: the socket is closed at once rather than left waiting
    Accept();
  });
}

Manager::~Manager() {
  Stop();
  if (thread_.joinable()) thread_.join();
}

void Manager::Log(const std::string& line) const {
  if (options_.log) options_.log(standin::LocalTimestamp() + " " + line);
}

// Opens the acceptor on the first address the host resolves to that takes the port, bound and
// listening; with --fail refuse bound only, so that every connection is refused.
void Manager::Bind() {
  if (port_ >= 0) return;
  const bool refuse = HoldsPort(options_);
  const std::string where = standin::HostPort{options_.host, options_.port}.Authority();
  boost::system::error_code error;
  tcp::resolver resolver(io_);
  const auto found = resolver.resolve(options_.host, std::to_string(options_.port),
                                      tcp::resolver::passive | tcp::resolver::numeric_service, error);
  if (error) throw std::runtime_error("cannot use " + where + ": " + error.message());
  std::string why = "no address";
  for (const auto& entry : found) {
    acceptor_.open(entry.endpoint().protocol(), error);
    // SO_REUSEADDR only, never SO_REUSEPORT: a second manager on the port is told it is in use.
    // A port held without listening takes neither, or a second one could take it as well.
    if (!error && !refuse) acceptor_.set_option(tcp::acceptor::reuse_address(true), error);
    if (!error) acceptor_.bind(entry.endpoint(), error);
    if (!error && !refuse) acceptor_.listen(1024, error);
    if (!error) break;
    why = error.message();
    acceptor_.close(error);
  }
  if (!acceptor_.is_open())
    throw std::runtime_error((refuse ? "cannot take " : "cannot listen on ") + where + ": " + why);
  port_ = acceptor_.local_endpoint().port();
  status_.listen = Address();
}

std::string Manager::Address() const { return standin::HostPort{options_.host, port_}.Authority(); }

bool Manager::Serve() {
  Bind();
  serving_ = true;
  if (!HoldsPort(options_)) Accept();
  // Runs until Stop ends the loop. A handler that throws (out of memory) costs its connection,
  // never the manager.
  const auto work = net::make_work_guard(io_);
  for (;;) {
    try {
      io_.run();
      break;
    } catch (const std::exception& e) {
      Log("answering failed: " + Escaped(e.what()));
    }
  }
  serving_ = false;
  return true;
}

void Manager::Stop() {
  if (stopping_.exchange(true)) return;
  net::post(io_, [this] {
    beast::error_code ignored;
    acceptor_.close(ignored);
    std::vector<std::shared_ptr<Connection>> open;
    for (auto& entry : connections_)
      if (auto connection = entry.second.lock()) open.push_back(std::move(connection));
    if (open.empty()) return io_.stop();
    for (auto& connection : open) connection->Shutdown();
    // Ends the loop when the last connection is gone (which cancels the wait), at the latest
    // after the grace.
    grace_.expires_after(kStopGrace);
    grace_.async_wait([this](beast::error_code) { io_.stop(); });
  });
}

void Manager::Start() {
  Bind();
  thread_ = std::thread([this] { Serve(); });
}

}  // namespace manager
