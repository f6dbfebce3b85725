#pragma once
// Headless Chromium driven over the DevTools protocol on a pair of pipes
// (--remote-debugging-pipe: JSON messages ending in a NUL byte), so that a test reads the
// page's DOM after its scripts ran, as a person's browser shows it.
#include <sys/types.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

class CdpBrowser {
 public:
  using Json = nlohmann::json;

  // Starts Chromium with its profile in `profileDir` and its output in `logFile`. Requests to
  // any address but loopback go to a proxy that is not there: the page gets no network.
  CdpBrowser(const std::string& profileDir, const std::string& logFile);
  // Kills Chromium and every process it started, and removes what it kept outside the profile.
  ~CdpBrowser();
  CdpBrowser(const CdpBrowser&) = delete;
  CdpBrowser& operator=(const CdpBrowser&) = delete;

  // A command to the page; its result. Throws std::runtime_error for an error or no answer.
  Json Call(const std::string& method, const Json& params = Json::object());
  // Loads `url` and waits for its load event.
  void Navigate(const std::string& url);
  // The value of a JavaScript expression in the page (promises awaited). Throws when it
  // throws.
  Json Evaluate(const std::string& expression);
  // Evaluates `expression` until it is true or `limit` has passed.
  bool WaitFor(const std::string& expression, std::chrono::milliseconds limit);
  // A PNG of the whole page.
  void Screenshot(const std::string& path);
  // The events of `method` received so far ("Network.requestWillBeSent", ...).
  std::vector<Json> Events(const std::string& method);

 private:
  Json Send(const std::string& method, const Json& params, const std::string& session);
  // The next message, or false after `timeoutMs`; events are kept on the way.
  bool Read(Json& message, int timeoutMs);

  std::string profileDir_;
  pid_t pid_ = -1;
  int toBrowser_ = -1;
  int fromBrowser_ = -1;
  std::string pending_;
  int nextId_ = 1;
  std::string session_;
  std::vector<Json> events_;
};
