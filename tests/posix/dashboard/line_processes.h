#pragma once
// The programs a dashboard test runs: stations that feed the history, `kqm-update serve`, and
// plain HTTP on the loopback address.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

struct ChildProcess {
  pid_t pid = -1;
  int input = -1;      // its standard input, when it reads commands
  std::string output;  // the file its standard output goes to

  // Sends a line to its standard input.
  void Tell(const std::string& line) const;
  // SIGKILL to it and all it started, then waits; nothing when it is gone already.
  void Kill();
  // SIGTERM; its exit status, or -1 when it had to be killed after `limit`.
  int Terminate(std::chrono::milliseconds limit);
};

// Starts `arguments` in a process group of its own that dies with the test; standard output
// and error go to `output` and `output`.err.
ChildProcess StartChild(const std::vector<std::string>& arguments, const std::string& output,
                        bool readsCommands);

// The first match of `pattern`'s group 1 in the file, waiting up to `limit`; empty when none.
std::string WaitForMatch(const std::string& path, const std::string& pattern,
                         std::chrono::milliseconds limit);

// What 127.0.0.1:`port` answers to `request` (bytes as they are), until it closes the
// connection or `limit` passes; `closed` tells which.
std::string RawExchange(int port, const std::string& request, std::chrono::milliseconds limit,
                        bool& closed);
