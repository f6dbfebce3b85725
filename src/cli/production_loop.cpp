#include "production_loop.h"

#include <nlohmann/json.hpp>

#include "text_fields.h"

bool StationFailed(const ModuleRecord& record) {
  switch (record.facts.outcome) {
    case UpdateOutcome::kFirmwareFileProblem:
    case UpdateOutcome::kPortOpenFailed:
    case UpdateOutcome::kNoBaseStation:
      return true;
    default:
      // Nobody put a module in within the time-out: the line is empty.
      return record.exitCode == ExitCode::kSetupTimeout && !record.facts.moduleSeen;
  }
}

namespace {
std::string ResultWords(const ModuleRecord& record) {
  if (record.exitCode == ExitCode::kSuccess)
    return record.result == "skipped" ? "skipped" : "updated";
  if (record.exitCode == ExitCode::kCancelled)
    return "cancelled";
  return "failed (" + record.result + ", exit status " + std::to_string(ToInt(record.exitCode)) +
         ")";
}

}  // namespace

std::string ModuleLine(const ModuleRecord& record) {
  const ModuleFacts& facts = record.facts;
  const std::string id = facts.moduleId ? *facts.moduleId : facts.moduleSeen ? "boot loader" : "-";
  return "Module " + std::to_string(record.attempt) + " (" + id + "): " + ResultWords(record) +
         " after " + SecondsText(facts.durationMs) + "; " + LinkSummary(facts) + ".";
}

namespace {
std::string NextStep(const ModuleRecord& record) {
  const char* which = record.exitCode != ExitCode::kSuccess ? "the module (it failed)"
                      : record.result == "skipped"          ? "this module"
                                                            : "the updated module";
  return std::string("Take ") + which +
         " away and put the next module into its Setup mode (Ctrl-C ends the loop).";
}
}  // namespace

bool StoppedWhileWaiting(const ModuleRecord& record) {
  return record.exitCode == ExitCode::kCancelled && !record.facts.moduleSeen;
}

ModuleRecord StationRun::Module(int attempt, bool& kept) {
  if (json != nullptr)
    json->SetAttempt(attempt);
  const ModuleRecord record = station.Run(attempt, rememberPort);
  kept = true;
  // Stopped before a module took part: the normal end of a loop, with nothing to record.
  if (loop && StoppedWhileWaiting(record)) {
    if (gate != nullptr)
      gate->Done();
    return record;
  }
  kept = records.Keep(record, json);
  // The record is in the history before the claim goes: no other station may take the module
  // for one not updated yet.
  const bool reserved = gate != nullptr && gate->Done();
  totals.Count(record, reserved);
  if (tracker != nullptr)
    tracker->Finished(record);
  return record;
}

void RunProductionLoop(StationRun& run, const ConsoleOptions& options, ConsoleOutput& output) {
  output.Line(options.count > 0 ? "Production loop: " + std::to_string(options.count) +
                                      " modules. Put the first module into its Setup mode."
                                : "Production loop until stopped (Ctrl-C): put the first module "
                                  "into its Setup mode.");
  for (int attempt = 1;; ++attempt) {
    bool kept = true;
    const ModuleRecord record = run.Module(attempt, kept);
    if (StoppedWhileWaiting(record)) {
      output.Line("The loop ends while it waits for the next module.");
      break;
    }
    output.Line(ModuleLine(record));
    if (StationFailed(record)) {
      output.ErrorLine("The loop ends: the next module would fail the same way.");
      break;
    }
    if (!kept || run.station.StopRequested() || run.totals.CountReached())
      break;
    output.Line(NextStep(record));
    output.Line("So far: " + run.totals.TotalsText() + ".");
  }
  std::string totals = "Loop finished: " + run.totals.TotalsText();
  if (const uint32_t mean = run.totals.MeanModuleMs(); mean != 0)
    totals += "; " + SecondsText(mean) + " per module on average";
  output.Line(totals + ".");
}
