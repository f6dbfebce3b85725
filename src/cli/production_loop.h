#pragma once
#include <functional>
#include <string>

#include "claim_gate.h"
#include "console_options.h"
#include "console_output.h"
#include "json_events.h"
#include "line_totals.h"
#include "record_keeper.h"
#include "station.h"
#include "station_tracker.h"

// What a station's run of modules works with besides the station itself.
struct StationRun {
  Station& station;
  RecordKeeper& records;
  LineTotals& totals;
  ClaimGate* gate = nullptr;  // the claims of the line; none without a history
  JsonEventStream* json = nullptr;
  // Told when a module took its firmware: the port is remembered for the next run.
  std::function<void()> rememberPort;
  // A loop of modules: a stop while it waits for the next one is its normal end, with nothing
  // to record (a single update always leaves its record).
  bool loop = true;
  // Told each module's end, for the live view and the dashboard.
  StationTracker* tracker = nullptr;

  // One module: its update, its record kept, its claim given up, and counted. `kept` tells
  // whether every place took the record.
  ModuleRecord Module(int attempt, bool& kept);
};

// Failures of the station rather than of a module: every module after would fail the same way.
bool StationFailed(const ModuleRecord& record);
// A stop request while the station waited for a module: nothing to record.
bool StoppedWhileWaiting(const ModuleRecord& record);

// The one summary line of a module: "Module 2 (222222): updated after 9.4 s; 13 of 13 pages, ..."
std::string ModuleLine(const ModuleRecord& record);

// --repeat / --count with one station: one module after another, said on the terminal, until
// the loop is stopped while it waits for the next module, or the count is reached, or the
// station itself fails, or a record could not be written.
void RunProductionLoop(StationRun& run, const ConsoleOptions& options, ConsoleOutput& output);
