#include "history_command.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <nlohmann/json.hpp>

#include "console_commands.h"
#include "console_fakes.h"
#include "fake_platform.h"
#include "history/history.h"
#include "history_question.h"
#include "memory_profile.h"
#include "scripted_serial.h"
#include "temp_directory.h"

namespace {
constexpr int64_t kMin = 60 * 1000;
constexpr int64_t kHour = 60 * kMin;
constexpr char kMarkupId[] = "<b title=\"x\">7</b>";

// An instant in UTC, from its calendar date and time.
int64_t Utc(int year, int month, int day, int hour, int minute = 0) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  return static_cast<int64_t>(timegm(&tm)) * 1000;
}

// Central European time with its summer time: clocks go forward on 2026-03-29 at 01:00 UTC
// and back on 2026-10-25 at 01:00 UTC.
TEST(HistorySince, ReadsEveryFormInTheLocalTimeZone) {
  const char* zone = std::getenv("TZ");
  const std::optional<std::string> before = zone ? std::optional<std::string>(zone) : std::nullopt;
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  tzset();
  const int64_t sunday = Utc(2026, 3, 29, 10);         // 12:00 local, summer time since 03:00
  const int64_t justAfter = Utc(2026, 3, 28, 23, 30);  // 00:30 local on the 29th
  const int64_t autumn = Utc(2026, 10, 25, 12);        // 13:00 local, winter time again
  const struct {
    int64_t now;
    const char* text;
    std::optional<int64_t> since;
  } cases[] = {
      {sunday, "today", Utc(2026, 3, 28, 23)},
      {sunday, "yesterday", Utc(2026, 3, 27, 23)},
      {justAfter, "today", Utc(2026, 3, 28, 23)},
      {autumn, "yesterday", Utc(2026, 10, 23, 22)},
      {sunday, "2026-12-08", Utc(2026, 12, 7, 23)},
      {sunday, "2028-02-29", Utc(2028, 2, 28, 23)},
      {sunday, "2026-03-29T14:00", Utc(2026, 3, 29, 12)},
      {sunday, "2026-03-28 14:00:30", Utc(2026, 3, 28, 13) + 30000},
      {sunday, "2026-12-08T14:00Z", Utc(2026, 12, 8, 14)},
      {sunday, "2026-12-07T16:48:09.306Z", Utc(2026, 12, 7, 16, 48) + 9306},
      {sunday, "30m", sunday - 30 * kMin},
      {sunday, "2d", sunday - 48 * kHour},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseSince(c.text, c.now), c.since) << c.text;
  const char* const refused[] = {"",
                                 "tomorrow",
                                 " today",
                                 "2026-13-01",
                                 "2026-02-29",
                                 "2026-12-8",
                                 "2026-12-08T24:00",
                                 "2026-12-08T14",
                                 "2026-12-08T14:00+01:00",
                                 "2026-12-08Z",
                                 "2026-12-08T14:00:00.1234Z",
                                 "1969-12-31",
                                 "8",
                                 "h",
                                 "-2d",
                                 "2w",
                                 "1234567d",
                                 "2d ago"};
  for (const char* text : refused) EXPECT_EQ(ParseSince(text, sunday), std::nullopt) << text;
  before ? setenv("TZ", before->c_str(), 1) : unsetenv("TZ");
  tzset();
}

history::Attempt AttemptOf(const std::string& station, const std::string& module,
                           const std::string& result, int64_t startMs) {
  history::Attempt a;
  a.station = station;
  a.host = station.substr(0, station.find(':'));
  a.port = station.substr(station.find(':') + 1);
  a.moduleId = module;
  a.result = result;
  a.startMs = startMs;
  a.recordJson = "{}";
  return a;
}

// The history of a line of two stations over three days, in an SQLite file, asked through
// the command line as a supervisor asks it.
struct HistoryLine {
  HistoryLine() {
    const int64_t midnight = *ParseSince("today", std::time(nullptr) * int64_t{1000});
    const std::string a = "line-1:COM3", b = "line-2:COM9";
    history::OpenHistory(path)->RecordAll({
        AttemptOf(a, "000000", "success", midnight - 40 * kHour),
        AttemptOf(a, "111111", "success", midnight - 20 * kHour),
        AttemptOf(b, "222222", "transfer_failed", midnight - 10 * kHour),
        AttemptOf(a, kMarkupId, "success", midnight - 5 * kHour),
        AttemptOf(b, "111111", "skipped", midnight + 1 * kMin),
        AttemptOf(a, "333333", "boot_loader_silent", midnight + 2 * kMin),
        AttemptOf(b, "444444", "success", midnight + 3 * kMin),
    });
  }

  // The exit status, and standard output and error.
  std::tuple<ExitCode, std::string, std::string> Ask(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"history", "--history", path});
    const ParseResult parsed = ParseConsoleArguments(arguments);
    EXPECT_TRUE(parsed.ok) << parsed.error;
    VirtualClock clock;
    ScriptedSerial serial(clock);
    MemoryProfile profile;
    ScriptedPortList ports;
    ScriptedInput input(clock);
    ScriptedInterrupts interrupts;
    CapturedOutput captured;
    PortNames names;
    ConsoleEnvironment environment{clock,      serial,          profile,      ports, input,
                                   interrupts, captured.output, "kqm-update", "",    names};
    const ExitCode code = RunConsoleCommand(environment, parsed.options, {});
    return {code, captured.out.str(), captured.err.str()};
  }

  // The module IDs of the attempts listed (JSON Lines), in their order.
  std::vector<std::string> Modules(std::vector<std::string> arguments) {
    arguments.insert(arguments.end(), {"--format", "json"});
    const auto [code, out, err] = Ask(arguments);
    EXPECT_EQ(code, ExitCode::kSuccess) << err;
    std::vector<std::string> modules;
    for (const std::string& line : Lines(out))
      modules.push_back(nlohmann::json::parse(line).at("module_id"));
    return modules;
  }

  TempDirectory directory;
  std::string path = directory.File("line.db");
};

TEST(HistoryCommand, AnswersTheSupervisorsQuestionsNewestFirst) {
  HistoryLine line;
  using Ids = std::vector<std::string>;
  EXPECT_EQ(line.Modules({"--module", "111111"}), (Ids{"111111", "111111"}));
  EXPECT_EQ(line.Modules({"--result", "failed", "--since", "today"}), Ids{"333333"});
  EXPECT_EQ(line.Modules({"--result", "failed"}), (Ids{"333333", "222222"}));
  EXPECT_EQ(line.Modules({"--station", "line-2:COM9", "--limit", "2"}), (Ids{"444444", "111111"}));
  EXPECT_EQ(line.Modules({"--since", "yesterday", "--result", "success"}),
            (Ids{"444444", kMarkupId, "111111"}));

  const auto [code, table, err] = line.Ask({"--module", kMarkupId});
  EXPECT_EQ(code, ExitCode::kSuccess) << err;
  ASSERT_EQ(Lines(table).size(), 2u) << table;
  EXPECT_NE(Lines(table)[1].find(std::string("  ") + kMarkupId + "  success"), std::string::npos);

  const auto [countCode, counts, countErr] = line.Ask({"--by-station", "--since", "yesterday"});
  EXPECT_EQ(countCode, ExitCode::kSuccess) << countErr;
  EXPECT_EQ(
      Lines(counts),
      (Ids{"Station       Updated  Failed  Skipped", "line-1:COM3         2       1        0",
           "line-2:COM9         1       1        1", "all stations        3       2        1"}));
}

TEST(HistoryCommand, SaysWhenNothingMatchesAndCreatesNoHistory) {
  HistoryLine line;
  const auto [code, table, err] = line.Ask({"--module", "999999"});
  EXPECT_EQ(code, ExitCode::kSuccess) << err;
  EXPECT_EQ(table, "No attempts match.\n");
  const std::string csv = std::get<1>(line.Ask({"--module", "999999", "--format", "csv"}));
  EXPECT_EQ(Lines(csv).size(), 1u);
  EXPECT_EQ(csv.rfind("start_time,station,", 0), 0u) << csv;
  EXPECT_EQ(std::get<1>(line.Ask({"--module", "999999", "--format", "json"})), "");
  EXPECT_EQ(std::get<1>(line.Ask({"--by-station", "--since", "2999-01-01T00:00Z"})),
            "No attempts match.\n");

  line.path = line.directory.File("elsewhere.db");
  const auto [missing, out, why] = line.Ask({"--since", "2d"});
  EXPECT_EQ(missing, ExitCode::kUsage);
  EXPECT_EQ(why, "history: there is no history at " + line.path + ": no such file.\n");
  EXPECT_FALSE(line.directory.Exists("elsewhere.db"));
}

}  // namespace
