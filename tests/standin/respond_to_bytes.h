// The manager's answer to bytes as one client sent them, without sockets: for the tests of its
// limits and for the request-parsing fuzzer.
#pragma once

#include <boost/asio/buffer.hpp>
#include <boost/beast/http/error.hpp>

#include <functional>
#include <string_view>

#include "manager/manager.h"

namespace manager {

// Reads one request from bytes (the whole of what a client sent) and answers it.
inline Reply RespondToBytes(std::string_view bytes, const Options& options, const std::function<StatusInfo()>& status) {
  RequestParser parser;
  Prepare(parser, options.limits);
  boost::beast::error_code error;
  while (!error && !parser.is_done()) {
    const std::size_t used = parser.put(boost::asio::buffer(bytes.data(), bytes.size()), error);
    bytes.remove_prefix(used);
    if (error == boost::beast::http::error::need_more) error = {};
    if (error || used > 0) continue;
    // All that came is read: the client has ended its side.
    if (parser.got_some()) parser.put_eof(error);
    if (!error && !parser.is_done()) error = boost::beast::http::error::partial_message;
  }
  if (error) return Refusal(error, options.limits);
  return Respond(parser.get(), options, status);
}

}  // namespace manager
