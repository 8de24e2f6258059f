// HTTP exchanges with libcurl, and curl's errors told as a tester needs to hear them.
#include "library/core.h"

#include <curl/curl.h>

#include <cerrno>
#include <memory>

namespace webapi {
namespace {

constexpr std::size_t kBodyLinesShown = 20;

struct Receiver {
  TransferResult result;  // the body and the status line as they come
  std::size_t headerBytes = 0;
  bool tooLarge = false;
  bool headerTooLarge = false;
  bool headerEnded = false;
};

// Returning less than was given stops the transfer.
std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* context) {
  auto& receiver = *static_cast<Receiver*>(context);
  if ((receiver.tooLarge = receiver.result.body.size() + size * count > kMaxReplyBytes)) return 0;
  receiver.result.body.append(data, size * count);
  return size * count;
}

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* context) {
  auto& receiver = *static_cast<Receiver*>(context);
  receiver.headerBytes += size * count;
  if ((receiver.headerTooLarge = receiver.headerBytes > kMaxReplyHeaderBytes)) return 0;
  std::string_view line(data, size * count);
  if (line == "\r\n" || line == "\n") receiver.headerEnded = true;
  if (line.substr(0, 5) == "HTTP/") receiver.result.statusLine = line.substr(0, line.find_last_not_of("\r\n") + 1);
  return size * count;
}

int OnTrace(CURL*, curl_infotype type, char* data, std::size_t size, void* context) {
  if (type != CURLINFO_TEXT && type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT) return 0;
  const char* prefix = type == CURLINFO_TEXT ? "* " : type == CURLINFO_HEADER_IN ? "< " : "> ";
  const auto& trace = *static_cast<const std::function<void(std::string_view)>*>(context);
  for (const auto& line : SplitLines(std::string_view(data, size))) trace(prefix + line);
  return 0;
}

// Turns a failed transfer into a fault a tester can act on.
Outcome Explain(CURLcode failure, CURL* easy, const TransferRequest& request, const Receiver& receiver,
                const char* detail) {
  const std::string host = request.host.Authority();
  const std::string seconds = Count(request.timeoutSeconds, "second", "seconds");
  const std::string what = Describe(request);
  curl_off_t received = 0, announced = -1, connectTime = 0;
  long osError = 0;
  curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &received);
  curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
  curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError);
  curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connectTime);
  const std::string bytes = Count(received, "byte", "bytes");
  const std::string because = std::string("(") + (*detail ? detail : curl_easy_strerror(failure)) + ")";
  const auto bad = [](std::string line) { return Outcome::Fault(WEBAPI_BAD_REPLY, {std::move(line)}); };
  // A header over our limit, or a header line over the transfer layer's own limit (100 KB), which
  // it reports as running out of memory while the header is still coming.
  if (receiver.headerTooLarge || (failure == CURLE_OUT_OF_MEMORY && !receiver.headerEnded)) {
    return bad("The reply from " + host + " has a header larger than " +
               Count(kMaxReplyHeaderBytes >> 10, "KiB", "KiB") + "; it was not taken " + because + ".");
  }
  if (receiver.tooLarge || failure == CURLE_FILESIZE_EXCEEDED)
    return bad("The reply from " + host + " is larger than " + Count(kMaxReplyBytes >> 20, "MiB", "MiB") +
               "; it was not taken.");
  switch (failure) {
    case CURLE_COULDNT_RESOLVE_HOST:
      return Outcome::Fault(WEBAPI_CONNECT_FAILED,
                            {"Host not found: the name \"" + request.host.host + "\" cannot be resolved.",
                             "Check the spelling of the host name. " + because});
    case CURLE_COULDNT_CONNECT:
      if (osError == ECONNREFUSED) {
        return Outcome::Fault(WEBAPI_CONNECT_FAILED,
                              {"Connection refused: nothing accepts connections at " + host + ".",
                               "Check that the manager host runs and listens on that address and port."});
      }
      if (osError == EHOSTUNREACH || osError == ENETUNREACH) {
        return Outcome::Fault(WEBAPI_CONNECT_FAILED, {"Host unreachable: there is no route to " + host + ".",
                                                      "Check the address and the network. " + because});
      }
      return Outcome::Fault(WEBAPI_CONNECT_FAILED, {"Cannot connect to " + host + " " + because + "."});
    case CURLE_OPERATION_TIMEDOUT:
      if (connectTime == 0) {
        return Outcome::Fault(WEBAPI_TIMEOUT, {"Timeout: could not connect to " + host + " within " + seconds + ".",
                                               "Check that the host is reachable, or allow a longer timeout."});
      }
      return Outcome::Fault(WEBAPI_TIMEOUT, {"Timeout: " + host + " did not answer completely within " + seconds +
                                                 " (" + bytes + " of the reply had arrived).",
                                             "The server may be busy or stuck; try again or allow a longer timeout."});
    case CURLE_GOT_NOTHING:
      return bad("No reply: " + host + " closed the connection without answering " + what + ".");
    case CURLE_PARTIAL_FILE:
      return bad("Reply cut off: " + host + " closed the connection after " + bytes +
                 (announced >= 0 ? " of the " + Count(announced, "byte", "bytes") + " it announced" : "") + ".");
    case CURLE_RECV_ERROR:
      return bad("The connection to " + host + " broke while receiving the reply, after " + bytes + " " + because +
                 ".");
    case CURLE_SEND_ERROR:
      return bad("The connection to " + host + " broke while sending the request " + because + ".");
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
    case CURLE_BAD_CONTENT_ENCODING:
      return bad("The reply from " + host + " is not HTTP that can be read " + because + ".");
    case CURLE_OUT_OF_MEMORY:
      return Outcome::Fault(WEBAPI_INTERNAL, {"Out of memory during " + what + "."});
    default:
      return Outcome::Fault(WEBAPI_INTERNAL, {"The transfer " + what + " failed " + because + "."});
  }
}

}  // namespace

std::string Describe(const TransferRequest& request) {
  return std::string(request.post ? "POST" : "GET") + " http://" + request.host.Authority() + request.path;
}

TransferResult Transfer(const TransferRequest& request) {
  Receiver receiver;
  TransferResult& result = receiver.result;
  const std::unique_ptr<CURL, void (*)(CURL*)> easy(curl_easy_init(), curl_easy_cleanup);
  if (!easy) {
    result.outcome = Outcome::Fault(WEBAPI_INTERNAL, {"The transfer layer cannot start a transfer (curl_easy_init)."});
    return std::move(result);
  }
  CURL* e = easy.get();
  char errors[CURL_ERROR_SIZE] = {};
  const std::string url = "http://" + request.host.Authority() + request.path;
  std::vector<std::string> fields{"Accept: text/xml", "Expect:"};
  if (request.post) fields.push_back("Content-Type: " + request.contentType);
  curl_slist* list = nullptr;  // a field that cannot be added for want of memory is left out
  for (const std::string& field : fields)
    if (curl_slist* grown = curl_slist_append(list, field.c_str())) list = grown;
  const std::unique_ptr<curl_slist, void (*)(curl_slist*)> headers(list, curl_slist_free_all);

  curl_easy_setopt(e, CURLOPT_URL, url.c_str());
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(e, CURLOPT_PROXY, "");
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(e, CURLOPT_USERAGENT, "webapi-client/1.0");
  curl_easy_setopt(e, CURLOPT_TIMEOUT, static_cast<long>(request.timeoutSeconds));
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, static_cast<long>(request.timeoutSeconds));
  curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxReplyBytes));
  curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errors);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, &receiver);
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, &receiver);
  curl_easy_setopt(e, CURLOPT_HTTPHEADER, list);
  if (request.post) {  // else the handle's default, GET
    curl_easy_setopt(e, CURLOPT_POST, 1L);
    curl_easy_setopt(e, CURLOPT_POSTFIELDS, request.body.data());
    curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
  }
  if (request.trace) {
    curl_easy_setopt(e, CURLOPT_DEBUGFUNCTION, OnTrace);
    curl_easy_setopt(e, CURLOPT_DEBUGDATA, &request.trace);
    curl_easy_setopt(e, CURLOPT_VERBOSE, 1L);
  }

  const CURLcode done = curl_easy_perform(e);
  curl_off_t total = 0;
  curl_easy_getinfo(e, CURLINFO_TOTAL_TIME_T, &total);
  result.milliseconds = static_cast<long long>(total / 1000);
  curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &result.status);
  if (done != CURLE_OK) result.outcome = Explain(done, e, request, receiver, errors);
  if (done == CURLE_OK && result.status != 200) {
    // "404 Not Found" from the status line, or the number alone when it gives no more.
    const std::size_t code = result.statusLine.find_first_not_of(' ', result.statusLine.find(' '));
    const std::string status = code == std::string::npos ? std::to_string(result.status) : result.statusLine.substr(code);
    std::vector<std::string> lines{"HTTP error: " + request.host.Authority() + " answered " +
                                   std::string(request.post ? "POST " : "GET ") + request.path + " with status " +
                                   status + "."};
    if (result.status == 404) lines.push_back("Check the request path: the host has nothing at " + request.path + ".");
    if (!result.body.empty()) {
      lines.push_back("The reply said:");
      for (auto& line : Excerpt(result.body, kBodyLinesShown)) lines.push_back(std::move(line));
    }
    result.outcome = Outcome::Fault(WEBAPI_HTTP_STATUS, std::move(lines));
  }
  return std::move(result);
}

}  // namespace webapi
