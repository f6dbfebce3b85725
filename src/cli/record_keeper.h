#pragma once
#include <string>

#include "console_output.h"
#include "exit_codes.h"
#include "history/history.h"
#include "json_events.h"
#include "module_record.h"
#include "record_file.h"
#include "threads.h"

// The totals of a run, for its last event line.
struct RunTotals {
  int updated = 0;
  int failed = 0;
  int skipped = 0;
};

// Where the records of a run go: the report file (--report), JSON Lines or CSV, the line's
// history (--history), and the station's event lines (--json). Every record goes to each; a
// record that the report file or the history cannot take is said at once, with the reason.
// Shared by the stations of a line.
class RecordKeeper {
 public:
  explicit RecordKeeper(ConsoleOutput& output) : output_(output) {}

  // Opens the report file for appending. A CSV file that already has a header row must have
  // ours, or the new rows would sit under columns that mean something else. False, and said
  // why, when the file cannot be used.
  bool OpenReport(const std::string& path);
  // Where the records also go (not owned); none by default.
  void SetHistory(history::History* history) { history_ = history; }
  // False when the report file or the history did not take the record.
  bool Keep(const ModuleRecord& record, JsonEventStream* json);
  // True once a record could not be written.
  bool RecordLost() const;

 private:
  bool Report(const ModuleRecord& record);
  bool Remember(const ModuleRecord& record);

  ConsoleOutput& output_;
  history::History* history_ = nullptr;
  mutable Mutex lock_;
  RecordFile report_;
  bool csv_ = false;
  bool recordLost_ = false;
};

// The last event line of every run: how it ended and its totals.
void FinishRun(JsonEventStream* json, ExitCode code, const RunTotals& totals);

// Whether FILE's name asks for CSV (it ends in .csv, any case).
bool IsCsvReportName(const std::string& path);
