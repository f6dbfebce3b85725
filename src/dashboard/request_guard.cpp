#include "request_guard.h"

#include <httplib.h>
#include <openssl/crypto.h>

#include "listen_address.h"

namespace dashboard {

namespace {
bool SameText(const std::string& given, const std::string& token) {
  return given.size() == token.size() &&
         CRYPTO_memcmp(given.data(), token.data(), token.size()) == 0;
}

// The value of cookie `name` in the Cookie headers; empty when none.
std::string CookieValue(const httplib::Request& request, const std::string& name) {
  const std::size_t count = request.get_header_value_count("Cookie");
  for (std::size_t i = 0; i < count; ++i) {
    const std::string header = request.get_header_value("Cookie", i);
    std::size_t start = 0;
    while (start < header.size()) {
      std::size_t end = header.find(';', start);
      if (end == std::string::npos)
        end = header.size();
      std::string pair = header.substr(start, end - start);
      pair.erase(0, pair.find_first_not_of(' '));
      if (pair.compare(0, name.size() + 1, name + "=") == 0)
        return pair.substr(name.size() + 1);
      start = end + 1;
    }
  }
  return {};
}

const char* StatusText(int status) {
  switch (status) {
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 413:
      return "Payload Too Large";
    case 414:
      return "URI Too Long";
    case 431:
      return "Request Header Fields Too Large";
    case 503:
      return "Service Unavailable";
    default:
      return status >= 500 ? "Server Error" : "Error";
  }
}

// "127.0.0.1:8080" -> "127.0.0.1", "[::1]:8080" -> "[::1]".
std::string HostWithoutPort(const std::string& host) {
  if (!host.empty() && host.front() == '[')
    return host.substr(0, host.find(']') + 1);
  return host.substr(0, host.find(':'));
}
}  // namespace

void PlainError(httplib::Response& response, int status, const std::string& why) {
  response.status = status;
  response.set_content(std::to_string(status) + " " + StatusText(status) + ": " + why + "\n",
                       "text/plain; charset=utf-8");
}

bool AdmitRequest(const httplib::Request& request, httplib::Response& response,
                  const std::string& token) {
  if (token.empty()) {
    const std::string host = HostWithoutPort(request.get_header_value("Host"));
    if (request.has_header("Host") && !IsLoopbackHost(host)) {
      PlainError(response, 403, "this dashboard answers to this computer's own address only");
      return false;
    }
    return true;
  }
  const std::string query = request.get_param_value("token");
  if (!query.empty() && SameText(query, token)) {
    response.set_header("Set-Cookie", std::string(kTokenCookie) + "=" + token +
                                          "; Path=/; HttpOnly; SameSite=Strict");
    return true;
  }
  const std::string bearer = request.get_header_value("Authorization");
  if (SameText(CookieValue(request, kTokenCookie), token) || SameText(bearer, "Bearer " + token))
    return true;
  response.set_header("WWW-Authenticate", "Bearer");
  PlainError(response, 401,
             "this dashboard needs its token: open the address `kqm-update serve` printed "
             "(it ends in ?token=...)");
  return false;
}

}  // namespace dashboard
