// Resolving the address to listen on and taking its port, with Boost.Asio.
#include "manager/binding.h"

#include <stdexcept>
#include <string>

#include "common/host.h"

namespace manager {
using tcp = boost::asio::ip::tcp;

void Bind(tcp::acceptor& acceptor, const Options& options) {
  const bool refuse = HoldsPort(options);
  const std::string where = standin::HostPort{options.host, options.port}.Authority();
  boost::system::error_code error;
  tcp::resolver resolver(acceptor.get_executor());
  const auto found = resolver.resolve(options.host, std::to_string(options.port),
                                      tcp::resolver::passive | tcp::resolver::numeric_service, error);
  if (error) throw std::runtime_error("cannot use " + where + ": " + error.message());
  std::string why = "no address";
  for (const auto& entry : found) {
    acceptor.open(entry.endpoint().protocol(), error);
    // SO_REUSEADDR only, never SO_REUSEPORT: a second manager on the port is told it is in use.
    // A port held without listening takes neither, or a second one could take it as well.
    if (!error && !refuse) acceptor.set_option(tcp::acceptor::reuse_address(true), error);
    if (!error) acceptor.bind(entry.endpoint(), error);
    if (!error && !refuse) acceptor.listen(1024, error);
    if (!error) return;
    why = error.message();
    acceptor.close(error);
  }
  throw std::runtime_error((refuse ? "cannot take " : "cannot listen on ") + where + ": " + why);
}

}  // namespace manager
