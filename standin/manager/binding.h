// Taking the manager's port: listening on it, or with --fail refuse holding it without listening.
#pragma once

#include <boost/asio/ip/tcp.hpp>

#include "manager/options.h"

namespace manager {

// Opens the acceptor on the first address options.host resolves to that takes options.port,
// bound and listening; with FailMode::kRefuse bound only, so that every connection is refused.
// Throws std::runtime_error saying why when no address takes the port.
void Bind(boost::asio::ip::tcp::acceptor& acceptor, const Options& options);

}  // namespace manager
