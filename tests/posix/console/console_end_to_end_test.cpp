// The console program against the standalone simulator on a pseudo-terminal, in real time:
// the programs as they are shipped, their exit statuses and what they print.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../common/child_process.h"
#include "../common/sim_program.h"
#include "temp_directory.h"

namespace {
using namespace std::chrono_literals;
using posixtest::ReadFile;
using posixtest::Spawn;
using posixtest::WaitForExit;
using posixtest::WaitForText;

// tessalink-sim on a pseudo-terminal, stopped when the test ends; the Setup button is pressed
// 300 ms after the dialog asks for the report.
class Simulator : public posixtest::SimProgram {
 public:
  Simulator(const TempDirectory& dir, std::vector<std::string> options)
      : SimProgram(dir, WithSetupAfter(std::move(options))) {}

 private:
  static std::vector<std::string> WithSetupAfter(std::vector<std::string> options) {
    options.insert(options.begin(), {"--setup-after", "300"});
    return options;
  }
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
  ASSERT_TRUE(simulator.WaitForLog("PC closes the port"));
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
  ASSERT_TRUE(simulator.WaitForLog("PC closes the port"));
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

// The waits sleep until the next byte or deadline: an update costs the processor next to
// nothing. The limit is far above what it uses (well under 1 %), so that a busy machine does
// not fail the test; a wait that spins uses most of a core.
TEST_F(ConsoleEndToEnd, AnUpdateAt115200BaudUsesLittleOfTheProcessor) {
  Simulator simulator(dir, {"--baud", "115200", "--wire-time", "--exit-after-update"});
  const auto started = std::chrono::steady_clock::now();
  const pid_t update = StartUpdate(simulator, {"--yes", "--baud", "115200"});
  std::chrono::microseconds cpu{};
  ASSERT_EQ(posixtest::WaitForExit(update, 60s, cpu), 0) << ReadFile(dir.File("err.txt"));
  const auto wall = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - started);
  RecordProperty("cpu_per_mille", static_cast<int>(1000 * cpu.count() / wall.count()));
  EXPECT_LT(cpu.count(), wall.count() / 10) << cpu.count() << " us of " << wall.count() << " us";
}

TEST_F(ConsoleEndToEnd, SecondCtrlCDuringTheTransferStillClosesThePort) {
  // Bytes take their time on the line, so the transfer lasts a few seconds.
  Simulator simulator(dir, {"--wire-time"});
  const pid_t update = StartUpdate(simulator, {"--yes"});
  ASSERT_TRUE(WaitForText(dir.File("out.txt"), "Sending hex file page  3  of  13", 30s));
  const auto interrupted = std::chrono::steady_clock::now();
  kill(update, SIGINT);
  ASSERT_TRUE(WaitForText(dir.File("err.txt"), "The transfer cannot be stopped safely", 10s));
  kill(update, SIGINT);
  const Finished run = Finish(update, 20s);
  EXPECT_EQ(run.status, 9) << "a cut link is a cancel" << run.out << run.err;
  // The cut ends the transfer's remaining waits at once.
  EXPECT_LT(std::chrono::steady_clock::now() - interrupted, 3s);
  EXPECT_NE(run.err.find("Cutting the serial link"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("The serial link was cut on request; the port has been closed."),
            std::string::npos);
  EXPECT_TRUE(simulator.WaitForLog("PC closes the port"));
  EXPECT_EQ(simulator.Log().find("base station: <W"), std::string::npos)
      << "nothing was sent after the cut";
}
}  // namespace
