#pragma once
#include <string>

#include "console_output.h"
#include "exit_codes.h"
#include "json_events.h"
#include "module_record.h"
#include "record_file.h"

// The totals of a run, for its last event line.
struct RunTotals {
  int updated = 0;
  int failed = 0;
  int skipped = 0;
};

// Where the records of a run go: the report file (--report), JSON Lines or CSV, and the event
// lines (--json). Every record goes to each; a record the report file cannot take is said at
// once, with the system's reason.
class RecordKeeper {
 public:
  RecordKeeper(ConsoleOutput& output, JsonEventStream* json) : output_(output), json_(json) {}
  void SetJson(JsonEventStream* json) { json_ = json; }

  // Opens the report file for appending. A CSV file that already has a header row must have
  // ours, or the new rows would sit under columns that mean something else. False, and said
  // why, when the file cannot be used.
  bool OpenReport(const std::string& path);
  // The update procedure the next events belong to, from 1.
  void BeginAttempt(int attempt) {
    if (json_ != nullptr)
      json_->SetAttempt(attempt);
  }
  // False when the report file did not take the record.
  bool Keep(const ModuleRecord& record);
  // The last event line of every run.
  void Finish(ExitCode code, const RunTotals& totals);
  // True once a record could not be written.
  bool RecordLost() const { return recordLost_; }

 private:
  ConsoleOutput& output_;
  JsonEventStream* json_;
  RecordFile report_;
  bool csv_ = false;
  bool recordLost_ = false;
};

// Whether FILE's name asks for CSV (it ends in .csv, any case).
bool IsCsvReportName(const std::string& path);
