#pragma once
#include <optional>
#include <string>

// Where `kqm-update serve` listens, and the token that guards every other address.
namespace dashboard {

constexpr const char kDefaultListen[] = "127.0.0.1:8080";

struct ListenAddress {
  std::string host;  // "127.0.0.1", "0.0.0.0", "::1", "192.168.4.20"
  int port = 0;      // 0: any free port (tests, benchmarks)
  // Only this computer can reach it: 127.0.0.0/8, ::1 or "localhost". Every other address
  // needs the token on every request.
  bool loopback = false;
};

// "ADDRESS:PORT", an IPv6 address in brackets ("[::1]:8080"); nothing, with `error` said, for
// anything else.
std::optional<ListenAddress> ParseListenAddress(const std::string& text, std::string& error);

// True for a host name a loopback listener may be reached by ("127.0.0.1", "localhost",
// "[::1]"), without a port.
bool IsLoopbackHost(const std::string& host);

// 32 hexadecimal digits from the system's random source.
std::string NewToken();

// The address as a browser is given it: "http://127.0.0.1:8080/", "http://[::1]:8080/".
std::string PageUrl(const ListenAddress& address, int port);

}  // namespace dashboard
