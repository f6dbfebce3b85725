#include "record_keeper.h"

#include <cctype>
#include <fstream>
#include <nlohmann/json.hpp>

#include "history_attempt.h"

namespace {
// The first line of an existing file, without its line end; empty for a missing or empty file.
std::string FirstLine(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::string line;
  if (!file || !std::getline(file, line))
    return {};
  if (!line.empty() && line.back() == '\r')
    line.pop_back();
  return line;
}
}  // namespace

bool IsCsvReportName(const std::string& path) {
  if (path.size() < 4)
    return false;
  std::string extension = path.substr(path.size() - 4);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".csv";
}

bool RecordKeeper::OpenReport(const std::string& path) {
  csv_ = IsCsvReportName(path);
  if (csv_) {
    std::string header = RecordCsvHeader();
    header.erase(header.find_last_not_of("\r\n") + 1);
    const std::string found = FirstLine(path);
    if (!found.empty() && found != header) {
      output_.ErrorLine("Cannot append to the report file " + path +
                        ": its header row is not this program's (another program's, or an "
                        "older version's with other columns). Give a new file name.");
      return false;
    }
  }
  if (!report_.Open(path)) {
    output_.ErrorLine("Cannot write the report file: " + report_.Error());
    return false;
  }
  return true;
}

bool RecordKeeper::Keep(const ModuleRecord& record, JsonEventStream* json) {
  if (json != nullptr)
    json->Write("module_record", {{"record", RecordJson(record)}});
  std::lock_guard<Mutex> guard(lock_);
  const bool reported = Report(record);
  const bool remembered = Remember(record);
  recordLost_ = recordLost_ || !reported || !remembered;
  return reported && remembered;
}

bool RecordKeeper::Report(const ModuleRecord& record) {
  if (!report_.IsOpen())
    return true;
  const bool kept = csv_ ? report_.Append(RecordCsvLine(record), RecordCsvHeader())
                         : report_.Append(RecordJsonLine(record));
  if (!kept) {
    output_.ErrorLine("The record of module " + std::to_string(record.attempt) +
                      " could not be written: " + report_.Error());
  }
  return kept;
}

bool RecordKeeper::Remember(const ModuleRecord& record) {
  if (history_ == nullptr)
    return true;
  try {
    history_->Record(AttemptOf(record));
    return true;
  } catch (const history::HistoryError& error) {
    output_.ErrorLine("The record of module " + std::to_string(record.attempt) +
                      " could not be kept in the history: " + error.what());
    return false;
  }
}

bool RecordKeeper::RecordLost() const {
  std::lock_guard<Mutex> guard(lock_);
  return recordLost_;
}

void FinishRun(JsonEventStream* json, ExitCode code, const RunTotals& totals) {
  if (json == nullptr)
    return;
  json->Write("run_finished", {{"exit_code", ToInt(code)},
                               {"updated", totals.updated},
                               {"failed", totals.failed},
                               {"skipped", totals.skipped}});
}
