// The console program against the standalone simulator on a pseudo-terminal, in real time:
// the programs as they are shipped, their exit statuses and what they print.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "temp_directory.h"

namespace {
using namespace std::chrono_literals;

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Starts `arguments` with standard input, output and error on the files given.
pid_t Spawn(const std::vector<std::string>& arguments, const std::string& in,
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

// The exit status, or -1 when the process had to be killed after `limit`.
int WaitForExit(pid_t pid, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(20ms);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool WaitForText(const std::string& path, const std::string& text,
                 std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (ReadFile(path).find(text) != std::string::npos)
      return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

// tessalink-sim on a pseudo-terminal, stopped when the test ends.
class Simulator {
 public:
  Simulator(const TempDirectory& dir, std::vector<std::string> options) : dir_(dir) {
    std::vector<std::string> arguments{TESSALINK_SIM_PROGRAM, "--log", dir.File("sim.log"),
                                       "--setup-after", "300"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    pid_ = Spawn(arguments, "/dev/null", dir.File("sim.out"), dir.File("sim.err"));
    if (WaitForText(dir.File("sim.out"), "\n", 5s)) {
      const std::string out = ReadFile(dir.File("sim.out"));
      terminal_ = out.substr(0, out.find('\n'));
    }
  }
  ~Simulator() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      WaitForExit(pid_, 5s);
    }
  }
  const std::string& Terminal() const { return terminal_; }
  std::string Log() const { return ReadFile(dir_.File("sim.log")); }

 private:
  const TempDirectory& dir_;
  pid_t pid_ = -1;
  std::string terminal_;
};

struct Finished {
  int status = -1;
  std::string out, err;
};

// The sample firmware bundle in a directory of its own, and a profile that is the test's.
class ConsoleEndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"Korvane_Quorvanta_Mobile_Module.txt", "quorvanta_module_3_05.hex"})
      std::filesystem::copy_file(std::string(SAMPLE_FIRMWARE_DIR) + "/" + name, dir.File(name));
    setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
  }

  pid_t StartUpdate(const Simulator& simulator, std::vector<std::string> options) {
    std::vector<std::string> arguments{KQM_UPDATE_PROGRAM, "--port", simulator.Terminal(),
                                       "--firmware-dir", dir.Path().string()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return Spawn(arguments, "/dev/null", dir.File("out.txt"), dir.File("err.txt"));
  }
  Finished Finish(pid_t pid, std::chrono::milliseconds limit = 60s) {
    Finished run;
    run.status = WaitForExit(pid, limit);
    run.out = ReadFile(dir.File("out.txt"));
    run.err = ReadFile(dir.File("err.txt"));
    return run;
  }
  Finished Update(const Simulator& simulator, std::vector<std::string> options) {
    return Finish(StartUpdate(simulator, std::move(options)));
  }

  TempDirectory dir;
};

TEST_F(ConsoleEndToEnd, CompleteUpdateLeavesTheModuleHoldingThePageImage) {
  Simulator simulator(dir, {"--image-out", dir.File("module.bin"), "--exit-after-update"});
  ASSERT_FALSE(simulator.Terminal().empty());
  const Finished run = Update(simulator, {"--yes", "--trace", dir.File("trace.txt")});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  // Output is a file, not a terminal: one plain line per page.
  EXPECT_NE(run.out.find("Sending hex file page  1  of  13\nSending hex file page  2  of  13\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("[Firmware Update Complete]"), std::string::npos);
  EXPECT_EQ(run.err, "");

  const pid_t check = Spawn({KQM_UPDATE_PROGRAM, "check", "--firmware-dir", dir.Path().string(),
                             "--image", dir.File("expected.bin")},
                            "/dev/null", dir.File("check.out"), dir.File("check.err"));
  ASSERT_EQ(WaitForExit(check, 10s), 0) << ReadFile(dir.File("check.err"));
  ASSERT_TRUE(WaitForText(dir.File("sim.log"), "PC closes the port", 5s));
  const std::string image = ReadFile(dir.File("module.bin"));
  EXPECT_EQ(image.size(), 13u * 256);
  EXPECT_EQ(image, ReadFile(dir.File("expected.bin")));

  // The pseudo-terminal became a COM number, and that number was saved.
  const std::size_t port = run.out.find("Serial port  =  COM");
  ASSERT_NE(port, std::string::npos);
  const int number = std::atoi(run.out.c_str() + port + 19);
  EXPECT_NE(ReadFile(dir.File("config/Halvenmoor Systems/kqm-update/profile.ini"))
                .find("ComPort=" + std::to_string(number)),
            std::string::npos);
  EXPECT_NE(ReadFile(dir.File("trace.txt")).find("-> FF FF "), std::string::npos);
}

TEST_F(ConsoleEndToEnd, EndOfInputCancelsAndRestoresTheBaseStation) {
  Simulator simulator(dir, {});
  const Finished run = Update(simulator, {});
  EXPECT_EQ(run.status, 9) << run.out << run.err;
  EXPECT_NE(run.out.find("Press & release the Setup button to get the Mobile Module control "
                         "parameters."),
            std::string::npos);
  EXPECT_NE(run.out.find("End of input: cancelling the update."), std::string::npos);
  EXPECT_EQ(run.err, "Exit status 9: cancelled.\n");
  ASSERT_TRUE(WaitForText(dir.File("sim.log"), "PC closes the port", 5s));
  const std::string log = simulator.Log();
  EXPECT_LT(log.find("base station: <RN"), log.find("base station: <W"));
}

TEST_F(ConsoleEndToEnd, NoBaseStation) {
  Simulator simulator(dir, {"--scenario", "silent-base"});
  const Finished run = Update(simulator, {"--yes"});
  EXPECT_EQ(run.status, 5) << run.out << run.err;
  EXPECT_NE(
      run.err.find("[Firmware Update Error]\nCannot find a Korvane Tessalink.               "),
      std::string::npos)
      << run.err;
  EXPECT_NE(run.out.find("Cannot find a Korvane Tessalink.\n"), std::string::npos);
}

TEST_F(ConsoleEndToEnd, TransferFailure) {
  Simulator simulator(dir, {"--scenario", "no-page-reply=3"});
  const Finished run = Update(simulator, {"--yes"});
  EXPECT_EQ(run.status, 8) << run.out << run.err;
  EXPECT_NE(run.out.find("Sending hex file page  4  of  13\n"), std::string::npos);
  EXPECT_EQ(run.out.find("Sending hex file page  5  of  13"), std::string::npos);
  EXPECT_NE(run.err.find("No response from the Korvane Quorvanta Module.     "), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("Exit status 8: the transfer failed"), std::string::npos);
}

TEST_F(ConsoleEndToEnd, SecondCtrlCDuringTheTransferStillClosesThePort) {
  // Bytes take their time on the line, so the transfer lasts a few seconds.
  Simulator simulator(dir, {"--wire-time"});
  const pid_t update = StartUpdate(simulator, {"--yes"});
  ASSERT_TRUE(WaitForText(dir.File("out.txt"), "Sending hex file page  3  of  13", 30s));
  const auto interrupted = std::chrono::steady_clock::now();
  kill(update, SIGINT);
  std::this_thread::sleep_for(100ms);
  kill(update, SIGINT);
  const Finished run = Finish(update, 20s);
  EXPECT_EQ(run.status, 8) << run.out << run.err;
  // The cut ends the transfer's remaining waits at once.
  EXPECT_LT(std::chrono::steady_clock::now() - interrupted, 3s);
  EXPECT_NE(run.err.find("Cutting the serial link"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("The serial link was cut on request; the port has been closed."),
            std::string::npos);
  EXPECT_TRUE(WaitForText(dir.File("sim.log"), "PC closes the port", 5s));
  EXPECT_EQ(simulator.Log().find("base station: <W"), std::string::npos)
      << "nothing was sent after the cut";
}
}  // namespace
