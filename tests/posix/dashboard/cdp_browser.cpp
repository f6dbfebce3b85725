#include "cdp_browser.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace {
constexpr int kAnswerMs = 20000;

std::vector<unsigned char> FromBase64(const std::string& text) {
  static const std::string kDigits =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<unsigned char> bytes;
  unsigned value = 0;
  int bits = 0;
  for (const char c : text) {
    const std::size_t digit = kDigits.find(c);
    if (digit == std::string::npos)
      continue;
    value = (value << 6) | static_cast<unsigned>(digit);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes.push_back(static_cast<unsigned char>((value >> bits) & 0xff));
    }
  }
  return bytes;
}

[[noreturn]] void StartChromium(int commands, int answers, const std::string& profileDir,
                                const std::string& logFile) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  setpgid(0, 0);
  const int in = fcntl(commands, F_DUPFD, 10);
  const int out = fcntl(answers, F_DUPFD, 10);
  dup2(in, 3);
  dup2(out, 4);
  const int log = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  dup2(log, 1);
  dup2(log, 2);
  const int null = open("/dev/null", O_RDONLY);
  dup2(null, 0);
  const std::string profile = "--user-data-dir=" + profileDir;
  execl("/usr/bin/chromium", "chromium", "--headless", "--no-sandbox", "--disable-gpu",
        "--no-first-run", "--disable-background-networking", "--disable-component-update",
        "--disable-sync", "--remote-debugging-pipe", "--proxy-server=http://127.0.0.1:9",
        "--window-size=1280,1000", profile.c_str(), "about:blank", static_cast<char*>(nullptr));
  _exit(127);
}
}  // namespace

CdpBrowser::CdpBrowser(const std::string& profileDir, const std::string& logFile)
    : profileDir_(profileDir) {
  int commands[2], answers[2];
  if (pipe(commands) != 0 || pipe(answers) != 0)
    throw std::runtime_error("no pipes for Chromium");
  pid_ = fork();
  if (pid_ == 0)
    StartChromium(commands[0], answers[1], profileDir, logFile);
  close(commands[0]);
  close(answers[1]);
  toBrowser_ = commands[1];
  fromBrowser_ = answers[0];
  const Json targets = Send("Target.getTargets", Json::object(), "");
  std::string page;
  for (const Json& target : targets["targetInfos"]) {
    if (target["type"] == "page")
      page = target["targetId"];
  }
  if (page.empty())
    page = Send("Target.createTarget", {{"url", "about:blank"}}, "")["targetId"];
  session_ =
      Send("Target.attachToTarget", {{"targetId", page}, {"flatten", true}}, "")["sessionId"];
  for (const char* domain : {"Page.enable", "Runtime.enable", "Network.enable"}) Call(domain);
  Call("Emulation.setDeviceMetricsOverride",
       {{"width", 1280}, {"height", 1000}, {"deviceScaleFactor", 1}, {"mobile", false}});
}

CdpBrowser::~CdpBrowser() {
  // Chromium keeps the socket that makes it the profile's only instance in a folder of its own
  // under /tmp, linked from the profile; a killed Chromium leaves that folder behind.
  std::error_code error;
  const std::filesystem::path socket =
      std::filesystem::read_symlink(profileDir_ + "/SingletonSocket", error);
  if (pid_ > 0) {
    kill(-pid_, SIGKILL);
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (!error && socket.parent_path().filename().string().rfind("org.chromium.Chromium.", 0) == 0)
    std::filesystem::remove_all(socket.parent_path(), error);
  close(toBrowser_);
  close(fromBrowser_);
}

bool CdpBrowser::Read(Json& message, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const std::size_t nul = pending_.find('\0');
    if (nul != std::string::npos) {
      message = Json::parse(pending_.substr(0, nul));
      pending_.erase(0, nul + 1);
      if (message.contains("method"))
        events_.push_back(message);
      return true;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    pollfd input{fromBrowser_, POLLIN, 0};
    if (left.count() <= 0 || poll(&input, 1, static_cast<int>(left.count())) <= 0)
      return false;
    char buffer[65536];
    const ssize_t got = read(fromBrowser_, buffer, sizeof buffer);
    if (got <= 0)
      return false;
    pending_.append(buffer, static_cast<std::size_t>(got));
  }
}

CdpBrowser::Json CdpBrowser::Send(const std::string& method, const Json& params,
                                  const std::string& session) {
  const int id = nextId_++;
  Json command{{"id", id}, {"method", method}, {"params", params}};
  if (!session.empty())
    command["sessionId"] = session;
  const std::string text = command.dump() + std::string(1, '\0');
  if (write(toBrowser_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
    throw std::runtime_error("Chromium does not take commands (see its log)");
  Json message;
  while (Read(message, kAnswerMs)) {
    if (message.value("id", 0) != id)
      continue;
    if (message.contains("error"))
      throw std::runtime_error(method + ": " + message["error"].dump());
    return message["result"];
  }
  throw std::runtime_error(method + ": Chromium gave no answer");
}

CdpBrowser::Json CdpBrowser::Call(const std::string& method, const Json& params) {
  return Send(method, params, session_);
}

void CdpBrowser::Navigate(const std::string& url) {
  const std::size_t seen = Events("Page.loadEventFired").size();
  Call("Page.navigate", {{"url", url}});
  Json message;
  while (Events("Page.loadEventFired").size() == seen) {
    if (!Read(message, kAnswerMs))
      throw std::runtime_error("the page did not load: " + url);
  }
}

CdpBrowser::Json CdpBrowser::Evaluate(const std::string& expression) {
  const Json result =
      Call("Runtime.evaluate",
           {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}});
  if (result.contains("exceptionDetails"))
    throw std::runtime_error(expression + ": " + result["exceptionDetails"].dump());
  return result["result"].value("value", Json());
}

bool CdpBrowser::WaitFor(const std::string& expression, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (Evaluate(expression) != Json(true)) {
    if (std::chrono::steady_clock::now() >= end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

void CdpBrowser::Screenshot(const std::string& path) {
  const Json shot =
      Call("Page.captureScreenshot", {{"format", "png"}, {"captureBeyondViewport", true}});
  const std::vector<unsigned char> png = FromBase64(shot["data"].get<std::string>());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
}

std::vector<CdpBrowser::Json> CdpBrowser::Events(const std::string& method) {
  // Events that came while nobody asked.
  Json message;
  while (Read(message, 0)) {
  }
  std::vector<Json> found;
  for (const Json& event : events_) {
    if (event["method"] == method)
      found.push_back(event);
  }
  return found;
}
