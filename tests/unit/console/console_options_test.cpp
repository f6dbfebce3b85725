#include "console_options.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <set>
#include <tuple>

#include "exit_codes.h"
#include "history_question.h"

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
      {{"check", "--yes", "--help"}, ConsoleCommand::kHelp, "", "", "", "", false},
      {{"--version"}, ConsoleCommand::kVersion, "", "", "", "", false},
  };
  for (const Accepted& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    const ParseResult result = ParseConsoleArguments(c.arguments);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.options.command, c.command);
    EXPECT_EQ(result.options.ports.empty() ? "" : result.options.ports.front(), c.port);
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
      {{"COM3"}, "unexpected argument \"COM3\""},
      {{"--yes", "check"}, "--yes does not apply to check"},
      // Nothing but --port may be given twice: which of two values was meant?
      {{"--firmware-dir", "a", "--firmware-dir", "b"}, "--firmware-dir may be given only once"},
      {{"--yes", "-y"}, "--yes may be given only once"},
      {{"--repeat", "--count", "2"}, "--repeat excludes --count"},
      {{"--baud", "4800"}, "--baud: 4800: give one of 9600, 57600, 14400, 19200, 38400 or 115200"},
      {{"check", "--port", "COM3"}, "--port does not apply to check"},
      {{"check", "--trace", "t"}, "--trace does not apply to check"},
      {{"--image", "x.bin"}, "--image belongs to the check command"},
      {{"--list-ports", "--yes"}, "--yes does not apply to --list-ports"},
      {{"check", "--list-ports"}, "--list-ports does not apply to check"},
      {{"--list-ports", "check"}, "check and --list-ports cannot be combined"},
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
    UpdateResult result;
    result.outcome = outcome;
    EXPECT_EQ(ExitCodeFor(result), code);
    EXPECT_TRUE(seen.insert(ToInt(code)).second) << ToInt(code);
  }
}

TEST(ExitCodes, WhyCancelUpdateWasTakenDecidesTheStatus) {
  const std::tuple<UpdateOutcome, CancelReason, ExitCode> cases[] = {
      {UpdateOutcome::kCancelled, CancelReason::kOperator, ExitCode::kCancelled},
      {UpdateOutcome::kCancelled, CancelReason::kSetupTimeout, ExitCode::kSetupTimeout},
      // A module turned down is recorded as skipped: no failure.
      {UpdateOutcome::kCancelled, CancelReason::kRefused, ExitCode::kSuccess},
      // A link the user cut is a cancel, whatever failure the procedure ran into after it.
      {UpdateOutcome::kNoBaseStation, CancelReason::kLinkCut, ExitCode::kCancelled},
      {UpdateOutcome::kTransferFailed, CancelReason::kLinkCut, ExitCode::kCancelled},
  };
  for (const auto& [outcome, reason, code] : cases) {
    UpdateResult result;
    result.outcome = outcome;
    result.cancel = reason;
    EXPECT_EQ(ExitCodeFor(result), code) << CancelReasonName(reason);
  }
}

TEST(ConsoleOptions, ServeTakesItsOwnOptionsOnly) {
  const ParseResult served =
      ParseConsoleArguments({"serve", "--history", "line.db", "--listen=0.0.0.0:9000", "--token",
                             "t", "--shifts", "07:00"});
  ASSERT_TRUE(served.ok) << served.error;
  EXPECT_EQ(served.options.command, ConsoleCommand::kServe);
  EXPECT_EQ(std::tie(served.options.historyTarget, served.options.listen, served.options.token,
                     served.options.shifts),
            std::make_tuple("line.db", "0.0.0.0:9000", "t", "07:00"));
  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"serve"}, "serve needs --history DB: the history the stations write"},
      {{"--yes", "serve", "--history", "h"}, "--yes does not apply to serve"},
      {{"serve", "--history", "h", "--port", "COM3"}, "--port does not apply to serve"},
      {{"--firmware-dir", "fw", "serve", "--history", "h"},
       "--firmware-dir does not apply to serve"},
      {{"serve", "--history", "a", "--history", "b"}, "--history may be given only once"},
      {{"--list-ports", "serve", "--history", "h"}, "serve and --list-ports cannot be combined"},
      {{"serve", "--history", "h", "--bogus"}, "unknown option --bogus"},
  };
  for (const auto& [arguments, error] : refused) {
    SCOPED_TRACE(testing::PrintToString(arguments));
    const ParseResult result = ParseConsoleArguments(arguments);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, error);
  }
}

TEST(ConsoleOptions, HistoryTakesAQuestionAndRefusesAnyOther) {
  const ParseResult asked = ParseConsoleArguments(
      {"history", "--history", "h", "--since", "2d", "--result", "failed", "--limit", "5"});
  ASSERT_TRUE(asked.ok) << asked.error;
  EXPECT_EQ(asked.options.command, ConsoleCommand::kHistory);
  EXPECT_EQ(std::tie(asked.options.result, asked.options.limit), std::make_tuple("failed", 5u));
  EXPECT_TRUE(asked.options.sinceMs.has_value());
  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"history"}, "history needs --history DB: the history to ask"},
      {{"history", "--history", "h", "--since", "monday"}, "--since: monday: " + SinceForms()},
      {{"history", "--history", "h", "--result", "fail"}, "--result: fail: " + ResultQuestions()},
      {{"history", "--history", "h", "--by-station", "--station", "s"},
       "--by-station excludes --station"},
      {{"history", "--history", "h", "--port", "COM3"}, "--port does not apply to history"},
  };
  for (const auto& [arguments, error] : refused)
    EXPECT_EQ(ParseConsoleArguments(arguments).error, error);
}

}  // namespace

namespace {
// The exit statuses the README and the user guide list are the program's own.
TEST(ExitCodes, TheDocumentsListEveryStatusAndNoOther) {
  std::set<int> program;
  for (const ExitCodeEntry& entry : ExitCodeTable()) program.insert(ToInt(entry.code));
  for (const char* document : {"/../../README.md", "/../../docs/user-guide.md"}) {
    std::ifstream file(std::string(SAMPLE_FIRMWARE_DIR) + document);
    ASSERT_TRUE(file) << document;
    std::set<int> listed;
    bool inTable = false;
    for (std::string line; std::getline(file, line);) {
      if (line.rfind("| Exit status | Meaning |", 0) == 0)
        inTable = true;
      else if (inTable && line.rfind("|", 0) != 0)
        break;
      else if (inTable && line.size() > 2 && std::isdigit(static_cast<unsigned char>(line[2])))
        listed.insert(std::stoi(line.substr(2)));
    }
    EXPECT_EQ(listed, program) << document;
  }
}
}  // namespace
