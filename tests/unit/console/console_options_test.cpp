#include "console_options.h"

#include <gtest/gtest.h>

#include <set>

#include "exit_codes.h"

namespace {
struct Accepted {
  std::vector<std::string> arguments;
  ConsoleCommand command;
  std::string port, firmwareDirectory, traceFile, imageFile;
  bool yes;
};

TEST(ConsoleOptions, AcceptsEachCommandWithItsOptions) {
  const Accepted cases[] = {
      {{}, ConsoleCommand::kUpdate, "", "", "", "", false},
      {{"--port", "COM3", "--yes"}, ConsoleCommand::kUpdate, "COM3", "", "", "", true},
      {{"--port=/dev/pts/4", "-y", "--trace=t.txt"},
       ConsoleCommand::kUpdate,
       "/dev/pts/4",
       "",
       "t.txt",
       "",
       true},
      {{"--firmware-dir", "fw", "--trace", "t"}, ConsoleCommand::kUpdate, "", "fw", "t", "", false},
      {{"check"}, ConsoleCommand::kCheck, "", "", "", "", false},
      {{"check", "--firmware-dir=fw", "--image", "img.bin"},
       ConsoleCommand::kCheck,
       "",
       "fw",
       "",
       "img.bin",
       false},
      {{"--list-ports"}, ConsoleCommand::kListPorts, "", "", "", "", false},
      // Help wins over everything else on the line, even over mistakes in combination.
      {{"check", "--yes", "--help"}, ConsoleCommand::kHelp, "", "", "", "", true},
      {{"--version"}, ConsoleCommand::kVersion, "", "", "", "", false},
  };
  for (const Accepted& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    const ParseResult result = ParseConsoleArguments(c.arguments);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.options.command, c.command);
    EXPECT_EQ(result.options.port, c.port);
    EXPECT_EQ(result.options.firmwareDirectory, c.firmwareDirectory);
    EXPECT_EQ(result.options.traceFile, c.traceFile);
    EXPECT_EQ(result.options.imageFile, c.imageFile);
    EXPECT_EQ(result.options.yes, c.yes);
  }
}

TEST(ConsoleOptions, RefusesMistakesWithAReason) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--bogus"}, "unknown option --bogus"},
      {{"--port"}, "--port needs a value"},
      {{"--port="}, "--port needs a value"},
      {{"--yes=1"}, "--yes takes no value"},
      {{"COM3"}, "unexpected argument \"COM3\""},
      // "check" is a command only in first place.
      {{"--yes", "check"}, "unexpected argument \"check\""},
      {{"check", "--port", "COM3"}, "--port does not apply to check"},
      {{"check", "--trace", "t"}, "--trace does not apply to check"},
      {{"--image", "x.bin"}, "--image belongs to the check command"},
      {{"--list-ports", "--yes"}, "--yes does not apply to --list-ports"},
      {{"check", "--list-ports"}, "check and --list-ports cannot be combined"},
  };
  for (const auto& [arguments, error] : cases) {
    SCOPED_TRACE(testing::PrintToString(arguments));
    const ParseResult result = ParseConsoleArguments(arguments);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, error);
  }
}

TEST(ConsoleOptions, HelpDocumentsEveryExitStatus) {
  const std::string usage = ConsoleUsage("kqm-update");
  for (int code : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 130}) {
    const std::string row = (code < 10 ? "    " : "  ") + std::to_string(code) + "  ";
    EXPECT_NE(usage.find(row), std::string::npos) << code;
  }
}

TEST(ExitCodes, EveryOutcomeHasItsOwnStatusAndOnlySuccessIsZero) {
  const std::pair<UpdateOutcome, ExitCode> cases[] = {
      {UpdateOutcome::kSuccess, ExitCode::kSuccess},
      {UpdateOutcome::kFirmwareFileProblem, ExitCode::kFirmwareFile},
      {UpdateOutcome::kPortOpenFailed, ExitCode::kPortOpen},
      {UpdateOutcome::kNoBaseStation, ExitCode::kNoBaseStation},
      {UpdateOutcome::kConfigurationFailed, ExitCode::kConfiguration},
      {UpdateOutcome::kBootLoaderSilent, ExitCode::kBootLoaderSilent},
      {UpdateOutcome::kTransferFailed, ExitCode::kTransfer},
      {UpdateOutcome::kCancelled, ExitCode::kCancelled},
      {UpdateOutcome::kNotRun, ExitCode::kInternalError},
  };
  std::set<int> seen;
  for (const auto& [outcome, code] : cases) {
    EXPECT_EQ(ExitCodeFor(outcome, false), code);
    EXPECT_TRUE(seen.insert(ToInt(code)).second) << ToInt(code);
    if (outcome != UpdateOutcome::kSuccess) {
      EXPECT_NE(ToInt(ExitCodeFor(outcome, true)), 0);
    }
  }
}

TEST(ExitCodes, ACutLinkIsACancelUnlessTheModuleWasAlreadyBeingWritten) {
  EXPECT_EQ(ExitCodeFor(UpdateOutcome::kNoBaseStation, true), ExitCode::kCancelled);
  EXPECT_EQ(ExitCodeFor(UpdateOutcome::kPortOpenFailed, true), ExitCode::kCancelled);
  EXPECT_EQ(ExitCodeFor(UpdateOutcome::kConfigurationFailed, true), ExitCode::kCancelled);
  EXPECT_EQ(ExitCodeFor(UpdateOutcome::kBootLoaderSilent, true), ExitCode::kCancelled);
  // Partial firmware in the module: that must not look like a harmless cancel.
  EXPECT_EQ(ExitCodeFor(UpdateOutcome::kTransferFailed, true), ExitCode::kTransfer);
  // The module was updated before the cut: the update did succeed.
  EXPECT_EQ(ExitCodeFor(UpdateOutcome::kSuccess, true), ExitCode::kSuccess);
}
}  // namespace
