#include "line_processes.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>

#include "../common/wait_until.h"

void ChildProcess::Tell(const std::string& line) const {
  const std::string text = line + "\n";
  if (write(input, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
    throw std::runtime_error("the station does not read its commands");
}

void ChildProcess::Kill() {
  if (pid <= 0)
    return;
  kill(-pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  pid = -1;
  if (input >= 0)
    close(input);
  input = -1;
}

int ChildProcess::Terminate(std::chrono::milliseconds limit) {
  kill(pid, SIGTERM);
  int status = 0;
  const bool ended =
      posixtest::WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limit);
  if (!ended) {
    Kill();
    return -1;
  }
  pid = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ChildProcess StartChild(const std::vector<std::string>& arguments, const std::string& output,
                        bool readsCommands) {
  int commands[2] = {-1, -1};
  if (readsCommands && pipe(commands) != 0)
    throw std::runtime_error("no pipe");
  ChildProcess child;
  child.output = output;
  child.pid = fork();
  if (child.pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    setpgid(0, 0);
    const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open((output + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(readsCommands ? commands[0] : open("/dev/null", O_RDONLY), 0);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (readsCommands) {
    close(commands[0]);
    child.input = commands[1];
  }
  return child;
}

std::string WaitForMatch(const std::string& path, const std::string& pattern,
                         std::chrono::milliseconds limit) {
  const std::regex expression(pattern);
  std::smatch match;
  std::string text;
  posixtest::WaitUntil(
      [&] {
        text = posixtest::ReadFile(path);
        return std::regex_search(text, match, expression);
      },
      limit);
  return match.size() > 1 ? match[1].str() : std::string();
}

std::string RawExchange(int port, const std::string& request, std::chrono::milliseconds limit,
                        bool& closed) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  closed = false;
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(s);
    return {};
  }
  send(s, request.data(), request.size(), MSG_NOSIGNAL);
  std::string answer;
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!closed) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    pollfd input{s, POLLIN, 0};
    if (left.count() <= 0 || poll(&input, 1, static_cast<int>(left.count())) <= 0)
      break;
    char buffer[4096];
    const ssize_t got = recv(s, buffer, sizeof buffer, 0);
    closed = got <= 0;
    if (got > 0)
      answer.append(buffer, static_cast<std::size_t>(got));
  }
  close(s);
  return answer;
}
