#include "listen_address.h"

#include <arpa/inet.h>
#include <openssl/rand.h>

#include <charconv>
#include <stdexcept>

namespace dashboard {

namespace {
bool ValidAddress(const std::string& host, bool& v6) {
  unsigned char bytes[16];
  v6 = inet_pton(AF_INET6, host.c_str(), bytes) == 1;
  return v6 || inet_pton(AF_INET, host.c_str(), bytes) == 1 || host == "localhost";
}
}  // namespace

bool IsLoopbackHost(const std::string& host) {
  if (host == "localhost" || host == "::1" || host == "[::1]")
    return true;
  in_addr address{};
  return inet_pton(AF_INET, host.c_str(), &address) == 1 && (ntohl(address.s_addr) >> 24) == 127;
}

std::optional<ListenAddress> ParseListenAddress(const std::string& text, std::string& error) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    error = text + ": give ADDRESS:PORT, for example 127.0.0.1:8080 or 0.0.0.0:8080";
    return std::nullopt;
  }
  ListenAddress address;
  address.host = text.substr(0, colon);
  if (address.host.size() > 2 && address.host.front() == '[' && address.host.back() == ']')
    address.host = address.host.substr(1, address.host.size() - 2);
  const std::string portText = text.substr(colon + 1);
  const char* end = portText.data() + portText.size();
  const auto [stop, failure] = std::from_chars(portText.data(), end, address.port);
  if (failure != std::errc() || stop != end || address.port < 0 || address.port > 65535) {
    error = text + ": the port must be a number from 0 to 65535";
    return std::nullopt;
  }
  bool v6 = false;
  if (!ValidAddress(address.host, v6) || (v6 && text.front() != '[')) {
    error = text + ": not an IP address (an IPv6 address goes in brackets: [::1]:8080)";
    return std::nullopt;
  }
  address.loopback = IsLoopbackHost(address.host);
  return address;
}

std::string NewToken() {
  unsigned char bytes[16];
  if (RAND_bytes(bytes, sizeof bytes) != 1)
    throw std::runtime_error("the system's random source gave no token");
  static const char kDigits[] = "0123456789abcdef";
  std::string token;
  for (const unsigned char byte : bytes) {
    token += kDigits[byte >> 4];
    token += kDigits[byte & 15];
  }
  return token;
}

std::string PageUrl(const ListenAddress& address, int port) {
  const bool v6 = address.host.find(':') != std::string::npos;
  return "http://" + (v6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(port) +
         "/";
}

}  // namespace dashboard
