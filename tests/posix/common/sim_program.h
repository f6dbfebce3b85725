#pragma once
// tessalink-sim on a pseudo-terminal of its own, logging to a file the test can watch.
#include <signal.h>

#include <chrono>
#include <string>
#include <vector>

#include "child_process.h"
#include "temp_directory.h"
#include "wait_until.h"

namespace posixtest {

class SimProgram {
 public:
  // Starts the program with `--log DIR/sim.log` and `options`, and waits for the terminal's
  // path, the first line it prints.
  SimProgram(const TempDirectory& dir, const std::vector<std::string>& options)
      : logPath_(dir.File("sim.log")) {
    std::vector<std::string> arguments{TESSALINK_SIM_PROGRAM, "--log", logPath_};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const std::string out = dir.File("sim.out");
    pid_ = Spawn(arguments, "/dev/null", out, dir.File("sim.err"));
    if (WaitForText(out, "\n", std::chrono::seconds(10))) {
      const std::string printed = ReadFile(out);
      terminal_ = printed.substr(0, printed.find('\n'));
    }
  }
  ~SimProgram() {
    if (pid_ > 0)
      Stop(SIGTERM);
  }
  SimProgram(const SimProgram&) = delete;
  SimProgram& operator=(const SimProgram&) = delete;

  const std::string& Terminal() const { return terminal_; }
  std::string Log() const { return ReadFile(logPath_); }
  // True once the log holds `text` after its first `from` bytes.
  bool WaitForLog(const std::string& text, std::size_t from = 0,
                  std::chrono::milliseconds limit = std::chrono::seconds(10)) const {
    return WaitForText(logPath_, text, limit, from);
  }
  // Sends the signal and returns the exit status (-1 when it did not exit normally).
  int Stop(int signal = SIGTERM) {
    if (pid_ <= 0)
      return -1;
    kill(pid_, signal);
    return Reap(std::chrono::seconds(10));
  }
  // The exit status once the program has ended by itself within `limit`, or -1 (then it is
  // killed).
  int Reap(std::chrono::milliseconds limit) {
    const int status = WaitForExit(pid_, limit);
    pid_ = 0;
    return status;
  }

 private:
  std::string logPath_;
  pid_t pid_ = -1;
  std::string terminal_;
};

}  // namespace posixtest
