// What the console program says when something stands in its way, as a user meets it: the
// programs as shipped, real pseudo-terminals, other programs holding the port, an unprivileged
// user. Each failure names the device or file and the system's reason, ends with its documented
// exit status, and leaves its record.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
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

struct FailedRun {
  int status = -1;
  std::string out, err, report;
};

// An unprivileged user for the cases that need one: nobody, who may not open root's terminals
// nor write into root's folders. Only root can become it.
bool CanRunAsNobody() {
  return geteuid() == 0 && std::filesystem::exists("/usr/sbin/runuser");
}

// The sample firmware in a folder of its own, a profile and a report file of the test's own,
// in a folder anyone may write (the program runs as nobody in some cases).
class ConsoleFailures : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::permissions(dir.Path(), std::filesystem::perms(0755));
    std::filesystem::create_directory(firmware);
    for (const char* name : {"Korvane_Quorvanta_Mobile_Module.txt", "quorvanta_module_3_05.hex"})
      std::filesystem::copy_file(std::string(SAMPLE_FIRMWARE_DIR) + "/" + name, firmware + name);
    std::filesystem::create_directory(dir.File("config"));
    std::filesystem::permissions(dir.File("config"), std::filesystem::perms::all);
  }

  // kqm-update with the test's firmware, profile and report; as nobody when asked, or under
  // the `wrapper` command.
  FailedRun Run(std::vector<std::string> options, bool asNobody = false,
                std::vector<std::string> wrapper = {}) {
    std::vector<std::string> arguments{"/usr/bin/env",
                                       "XDG_CONFIG_HOME=" + dir.File("config"),
                                       KQM_UPDATE_PROGRAM,
                                       "--firmware-dir",
                                       firmware,
                                       "--report",
                                       report};
    if (asNobody)
      arguments.insert(arguments.begin(), {"/usr/sbin/runuser", "-u", "nobody", "--"});
    arguments.insert(arguments.begin(), wrapper.begin(), wrapper.end());
    arguments.insert(arguments.end(), options.begin(), options.end());
    const pid_t pid = Spawn(arguments, "/dev/null", dir.File("out.txt"), dir.File("err.txt"));
    FailedRun run;
    run.status = WaitForExit(pid, 60s);
    run.out = ReadFile(dir.File("out.txt"));
    run.err = ReadFile(dir.File("err.txt"));
    if (std::filesystem::is_regular_file(report))  // never /dev/full, which has no end
      run.report = ReadFile(report);
    return run;
  }

  TempDirectory dir;
  const std::string firmware = dir.File("firmware") + "/";
  std::string report = dir.File("config/report.jsonl");
};

// A program that holds a file open, or locked, until the test ends.
class Holder {
 public:
  explicit Holder(const std::vector<std::string>& arguments, const TempDirectory& dir)
      : pid_(Spawn(arguments, "/dev/null", dir.File("holder.out"), dir.File("holder.err"))) {}
  ~Holder() {
    kill(pid_, SIGKILL);
    WaitForExit(pid_, 5s);
  }
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_;
};

bool ProcessHasOpen(pid_t pid, const std::string& path) {
  std::error_code error;
  const auto target = std::filesystem::canonical(path, error);
  for (const auto& fd :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    std::error_code linkError;
    if (std::filesystem::read_symlink(fd.path(), linkError) == target)
      return true;
  }
  return false;
}

TEST_F(ConsoleFailures, APortThatCannotBeOpenedSaysWhichDeviceAndWhy) {
  posixtest::SimProgram simulator(dir, {});
  ASSERT_FALSE(simulator.Terminal().empty());
  dir.Write("plain.txt", "not a port");
  struct Case {
    const char* name;
    std::string port;
    std::vector<std::string> holder;  // another program on the port meanwhile
    std::string reason;
    bool asNobody = false;
  };
  std::vector<Case> cases = {
      {"missing device", dir.File("ttyUSB9"), {}, "No such file or directory. Is the base station"},
      {"directory", dir.Path().string(), {}, "Is a directory"},
      {"regular file", dir.File("plain.txt"), {}, "it is a regular file, not a serial port"},
      {"no terminal", "/dev/null", {}, "it is not a serial port"},
      {"locked by another program",
       simulator.Terminal(),
       {"/usr/bin/flock", "-o", simulator.Terminal(), "/bin/sleep", "60"},
       "it is in use by flock (pid"},
      {"open in another program",
       simulator.Terminal(),
       {"/bin/sh", "-c", "exec 3<>" + simulator.Terminal() + "; exec sleep 60"},
       "it is open in sleep (pid"},
  };
  if (CanRunAsNobody())
    cases.push_back({"permission", simulator.Terminal(), {}, "Permission denied.", true});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(dir.File("config/report.jsonl"));
    std::unique_ptr<Holder> holder;
    if (!c.holder.empty()) {
      holder = std::make_unique<Holder>(c.holder, dir);
      ASSERT_TRUE(posixtest::WaitUntil([&] { return ProcessHasOpen(holder->Pid(), c.port); }, 5s));
    }
    const FailedRun run = Run({"--port", c.port, "--yes"}, c.asNobody);
    EXPECT_EQ(run.status, 4) << run.out << run.err;
    const std::string said = "Cannot open " + c.port + " (COM";
    EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    // The record carries the reason too, after the message the dialog would show.
    EXPECT_NE(run.report.find("\"result\":\"port_open_failed\",\"exit_code\":4"), std::string::npos)
        << run.report;
    EXPECT_NE(run.report.find(said), std::string::npos) << run.report;
  }
  if (!CanRunAsNobody())
    GTEST_SKIP() << "the permission case needs root, to run the program as nobody";
}

// Firmware kept where this user may not write (a package's folder, a share): the page image
// stays in memory, the update succeeds, and nothing is left in the folder.
TEST_F(ConsoleFailures, FirmwareInAFolderTheUserCannotWriteStillUpdates) {
  if (!CanRunAsNobody())
    GTEST_SKIP() << "needs root, to run the program as nobody";
  posixtest::SimProgram simulator(dir, {"--setup-after", "300", "--baud", "115200", "--image-out",
                                        dir.File("module.bin"), "--exit-after-update"});
  ASSERT_EQ(chmod(simulator.Terminal().c_str(), 0666), 0);
  std::filesystem::permissions(firmware, std::filesystem::perms(0555));
  const auto before = std::distance(std::filesystem::directory_iterator(firmware), {});
  const FailedRun run = Run({"--port", simulator.Terminal(), "--yes", "--baud", "115200"}, true);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(firmware), {}), before);
  EXPECT_EQ(ReadFile(dir.File("module.bin")).size(), 13u * 256);
}

TEST_F(ConsoleFailures, ABaudRateThatGetsNoAnswerSaysOnlyItWasTried) {
  posixtest::SimProgram simulator(dir, {});  // the base station at 9600
  const FailedRun run = Run({"--port", simulator.Terminal(), "--yes", "--baud", "115200"});
  EXPECT_EQ(run.status, 5) << run.err;
  const std::string note =
      "Only 115200 baud was tried (--baud): without --baud all six rates are searched.";
  EXPECT_NE(run.err.find(note), std::string::npos) << run.err;
  EXPECT_NE(run.report.find(note), std::string::npos) << run.report;
}

TEST_F(ConsoleFailures, AnInvalidHexFileSaysTheLineAndTheReason) {
  posixtest::SimProgram simulator(dir, {});
  std::filesystem::remove(firmware + "quorvanta_module_3_05.hex");
  {
    std::ofstream hex(firmware + "quorvanta_module_3_05.hex", std::ios::binary);
    hex << ":0400100001020304E2\r\n:0400100001020304E3\r\n:00000001FF\r\n";
  }
  const FailedRun run = Run({"--port", simulator.Terminal(), "--yes"});
  EXPECT_EQ(run.status, 3) << run.err;
  const std::string why = "quorvanta_module_3_05.hex: line 2: checksum expected E2, found E3";
  EXPECT_NE(run.err.find("Invalid firmware hex file."), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(why), std::string::npos) << run.err;
  EXPECT_NE(run.report.find(why), std::string::npos) << run.report;
  EXPECT_NE(run.report.find("\"result\":\"firmware_file_problem\""), std::string::npos);
}

// A missing description file leaves a record and its last event line too.
TEST_F(ConsoleFailures, AMissingDescriptionFileNamesTheFolderAndLeavesARecord) {
  std::filesystem::remove(firmware + "Korvane_Quorvanta_Mobile_Module.txt");
  const FailedRun run = Run({"--port", "COM3", "--yes", "--json"});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("No firmware description file Korvane_Quorvanta_Mobile_Module.txt in " +
                         firmware +
                         ". Give the folder that holds it and its HEX file with "
                         "--firmware-dir."),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.report.find("\"result\":\"firmware_file_problem\",\"exit_code\":3"),
            std::string::npos)
      << run.report;
  const std::string last = run.out.substr(run.out.rfind('{'));
  EXPECT_NE(last.find("\"type\":\"run_finished\""), std::string::npos) << run.out;
  EXPECT_NE(last.find("\"exit_code\":3,\"updated\":0,\"failed\":1"), std::string::npos) << last;
}

// A report file that cannot grow (a full disk; here the file size limit, which the shell
// lowers to what the file holds already): the record that cannot be written is said at once,
// with the system's reason, and the run ends with the status of its own.
TEST_F(ConsoleFailures, ARecordThatCannotBeWrittenIsSaidWithItsOwnExitStatus) {
  posixtest::SimProgram simulator(dir, {"--setup-after", "300", "--baud", "115200"});
  report = dir.File("config/full.jsonl");
  std::ofstream(report) << "{\"filler\":\"" << std::string(1009, 'x') << "\"}\n";  // 1023 bytes
  const FailedRun run = Run({"--port", simulator.Terminal(), "--yes", "--baud", "115200"}, false,
                            {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 2; exec \"$@\"", "sh"});
  EXPECT_EQ(run.status, 11) << run.err;
  EXPECT_NE(run.err.find("The record of module 1 could not be written: cannot write to " + report +
                         ": File too large"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(ReadFile(report).size(), 1023u) << "nothing half written";
  EXPECT_NE(run.err.find("Exit status 11: a record could not be written to the report file."),
            std::string::npos);

  // A CSV file whose header row is another's: refused before any module is touched.
  report = dir.File("config/other.csv");
  std::ofstream(report) << "when,module,outcome\r\n2026-01-01,111111,ok\r\n";
  const FailedRun refused = Run({"--port", simulator.Terminal(), "--yes"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("its header row is not this program's"), std::string::npos)
      << refused.err;
  EXPECT_EQ(ReadFile(report), "when,module,outcome\r\n2026-01-01,111111,ok\r\n");
}

// Two signals during a transfer: a cancel in the record, with the time that really passed.
TEST_F(ConsoleFailures, ACutLinkIsRecordedAsACancelInRealTime) {
  posixtest::SimProgram simulator(dir, {"--setup-after", "300", "--wire-time"});
  const auto started = std::chrono::steady_clock::now();
  const pid_t update =
      Spawn({"/usr/bin/env", "XDG_CONFIG_HOME=" + dir.File("config"), KQM_UPDATE_PROGRAM,
             "--firmware-dir", firmware, "--report", dir.File("config/report.jsonl"), "--port",
             simulator.Terminal(), "--yes"},
            "/dev/null", dir.File("out.txt"), dir.File("err.txt"));
  ASSERT_TRUE(WaitForText(dir.File("out.txt"), "Sending hex file page  3  of  13", 30s));
  kill(update, SIGINT);
  ASSERT_TRUE(WaitForText(dir.File("err.txt"), "The transfer cannot be stopped safely", 10s))
      << ReadFile(dir.File("err.txt"));
  kill(update, SIGINT);
  EXPECT_EQ(WaitForExit(update, 20s), 9);
  const double wall =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
  const std::string err = ReadFile(dir.File("err.txt"));
  EXPECT_NE(err.find("the module stays in its boot loader, where the next update finds it"),
            std::string::npos)
      << err;
  EXPECT_EQ(err.find("No response from the"), std::string::npos) << "no made-up failure box";
  const std::string record = ReadFile(dir.File("config/report.jsonl"));
  EXPECT_NE(record.find("\"result\":\"cancelled\",\"exit_code\":9"), std::string::npos) << record;
  std::smatch duration;
  ASSERT_TRUE(std::regex_search(record, duration, std::regex("\"duration_ms\":([0-9]+)")));
  EXPECT_NEAR(std::stod(duration[1]), wall, wall * 0.10) << record;
}

// One byte duplicated on the radio link, one page refused later: the program never reads the
// spare ready byte as a page's reply, so every page ends up in the module.
TEST_F(ConsoleFailures, ASpareReadyByteIsDroppedAndCounted) {
  posixtest::SimProgram simulator(
      dir, {"--setup-after", "300", "--scenario", "ready-twice,nak-page=5:1", "--image-out",
            dir.File("module.bin"), "--exit-after-update"});
  const FailedRun run = Run({"--port", simulator.Terminal(), "--yes", "--trace", dir.File("t")});
  ASSERT_EQ(run.status, 0) << run.err;
  const pid_t check = Spawn({KQM_UPDATE_PROGRAM, "check", "--firmware-dir", firmware, "--image",
                             dir.File("expected.bin")},
                            "/dev/null", dir.File("check.out"), dir.File("check.err"));
  ASSERT_EQ(WaitForExit(check, 10s), 0);
  EXPECT_TRUE(simulator.WaitForLog("PC closes the port"));
  EXPECT_EQ(ReadFile(dir.File("module.bin")), ReadFile(dir.File("expected.bin")));
  EXPECT_NE(run.report.find("\"frames\":14,"), std::string::npos) << "13 pages and one resend";
  EXPECT_NE(run.report.find("\"stale_bytes_discarded\":1,"), std::string::npos) << run.report;
  EXPECT_NE(ReadFile(dir.File("t")).find("dropped 1 stale bytes unread before the frame of page 0"),
            std::string::npos);
}
}  // namespace

namespace {
// The port of the last successful update is remembered by its device, not by a COM number a
// pseudo-terminal was given for one run, and used only while it is there.
TEST_F(ConsoleFailures, TheRememberedPortIsItsDeviceAndOnlyWhileItIsThere) {
  const std::string link = dir.File("base-station");
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    posixtest::SimProgram simulator(
        dir, {"--setup-after", "300", "--baud", "115200", "--link", link, "--exit-after-update"});
    std::vector<std::string> options{"--yes", "--baud", "115200"};
    if (run == 0)
      options.insert(options.end(), {"--port", link});
    const FailedRun done = Run(options);
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_NE(done.out.find("Serial port  =  COM21 (" + link + ")"), std::string::npos) << done.out;
    EXPECT_NE(ReadFile(dir.File("config/Halvenmoor Systems/kqm-update/profile.ini"))
                  .find("ComPortDevice=" + link),
              std::string::npos);
    EXPECT_TRUE(simulator.WaitForLog("PC closes the port"));
  }
  std::filesystem::remove(link);
  const FailedRun gone = Run({"--yes", "--baud", "115200", "--setup-timeout", "1"});
  EXPECT_NE(gone.err.find("The port of the last successful update, " + link +
                          ", is not there now: using the lowest port found instead."),
            std::string::npos)
      << gone.err;
  EXPECT_EQ(gone.out.find("(" + link + ")"), std::string::npos);
}
}  // namespace
