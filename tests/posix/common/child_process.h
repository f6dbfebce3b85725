#pragma once
// Programs started by the tests, with their standard streams on files.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "wait_until.h"

namespace posixtest {

// Starts `arguments` with standard input, output and error on the files given.
inline pid_t Spawn(const std::vector<std::string>& arguments, const std::string& in,
                   const std::string& out, const std::string& err) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int inFd = open(in.c_str(), O_RDONLY);
    const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (inFd < 0 || outFd < 0 || errFd < 0)
      _exit(127);
    dup2(inFd, 0);
    dup2(outFd, 1);
    dup2(errFd, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

// The exit status once the process has ended by itself within `limit`; otherwise -1, and the
// process is killed. A process that did not exit normally also gives -1.
inline int WaitForExit(pid_t pid, std::chrono::milliseconds limit) {
  int status = 0;
  if (!WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limit)) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// As WaitForExit, and `cpu` gets the processor time (user and system) the process used.
inline int WaitForExit(pid_t pid, std::chrono::milliseconds limit, std::chrono::microseconds& cpu) {
  int status = 0;
  rusage usage{};
  if (!WaitUntil([&] { return wait4(pid, &status, WNOHANG, &usage) == pid; }, limit)) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
  cpu = std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
        std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace posixtest
