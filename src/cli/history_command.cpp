// history: the line supervisor's questions to the history that the stations write.
#include "history_command.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "history/connection_target.h"
#include "history/history_format.h"

namespace {
// The history to ask, or nothing with the reason told (never a password: the history's own
// errors leave it out, and only an SQLite path is named here).
std::unique_ptr<history::History> OpenForQuestions(ConsoleOutput& output,
                                                   [[maybe_unused]] const std::string& target) {
#ifdef _WIN32
  output.ErrorLine(
      "history: the history is kept in SQLite or PostgreSQL, which this Windows build cannot "
      "open: run kqm-update history on a Linux PC that reaches the history.");
  return nullptr;
#else
  // Opening a file that is not there would make an empty history of it, and answer from that.
  std::error_code error;
  if (!history::IsPostgresTarget(target) &&
      std::filesystem::status(target, error).type() == std::filesystem::file_type::not_found) {
    output.ErrorLine("history: there is no history at " + target + ": no such file.");
    return nullptr;
  }
  try {
    return history::OpenHistory(target);
  } catch (const history::HistoryError& failure) {
    output.ErrorLine(std::string("history: ") + failure.what());
    return nullptr;
  }
#endif
}

history::AttemptQuery QueryOf(const ConsoleOptions& options) {
  history::AttemptQuery query;
  if (!options.moduleId.empty())
    query.moduleId = options.moduleId;
  query.sinceMs = options.sinceMs;
  if (!options.result.empty())
    query.result = options.result;
  if (!options.station.empty())
    query.station = options.station;
  query.limit = options.limit;
  return query;
}

// The answer in the format asked for; a table without a row says so instead.
std::string Answer(history::History& history, const ConsoleOptions& options,
                   history::OutputFormat format) {
  std::string text;
  bool none = false;
  if (options.byStation) {
    const std::vector<history::StationCount> counts =
        history.CountsByStation(options.sinceMs.value_or(0));
    none = counts.empty();
    text = history::FormatStationCounts(counts, format);
  } else {
    const std::vector<history::Attempt> attempts = history.Attempts(QueryOf(options));
    none = attempts.empty();
    text = history::FormatAttempts(attempts, format);
  }
  return none && format == history::OutputFormat::kTable ? "No attempts match.\n" : text;
}
}  // namespace

ExitCode RunHistoryCommand(ConsoleEnvironment& environment, const ConsoleOptions& options) {
  ConsoleOutput& output = environment.output;
  const history::OutputFormat format =
      history::ParseOutputFormat(options.format).value_or(history::OutputFormat::kTable);
  const std::unique_ptr<history::History> history = OpenForQuestions(output, options.historyTarget);
  if (!history)
    return ExitCode::kUsage;
  std::string text;
  try {
    text = Answer(*history, options, format);
  } catch (const history::HistoryError& failure) {
    output.ErrorLine(std::string("history: ") + failure.what());
    return ExitCode::kUsage;
  }
  // Every format ends its last line; JSON without a line writes nothing at all.
  if (!text.empty()) {
    text.pop_back();
    output.Line(text);
  }
  return ExitCode::kSuccess;
}
