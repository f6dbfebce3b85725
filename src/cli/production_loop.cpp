#include "production_loop.h"

#include <nlohmann/json.hpp>

#include "text_fields.h"

namespace {
// Failures of the station rather than of a module: every module after would fail the same way.
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

std::string ResultWords(const ModuleRecord& record) {
  if (record.exitCode == ExitCode::kSuccess)
    return record.result == "skipped" ? "skipped" : "updated";
  if (record.exitCode == ExitCode::kCancelled)
    return "cancelled";
  return "failed (" + record.result + ", exit status " + std::to_string(ToInt(record.exitCode)) +
         ")";
}

// The one summary line of a module.
std::string ModuleLine(const ModuleRecord& record) {
  const ModuleFacts& facts = record.facts;
  const std::string id = facts.moduleId ? *facts.moduleId : facts.moduleSeen ? "boot loader" : "-";
  return "Module " + std::to_string(record.attempt) + " (" + id + "): " + ResultWords(record) +
         " after " + SecondsText(facts.durationMs) + "; " + LinkSummary(facts) + ".";
}

std::string NextStep(const ModuleRecord& record) {
  const char* which = record.exitCode != ExitCode::kSuccess ? "the module (it failed)"
                      : record.result == "skipped"          ? "this module"
                                                            : "the updated module";
  return std::string("Take ") + which +
         " away and put the next module into its Setup mode (Ctrl-C ends the loop).";
}
}  // namespace

ModuleRecord RecordOf(const ModuleRecord& shared, int attempt, const UpdateResult& result,
                      const ModuleFacts& facts) {
  ModuleRecord record = shared;
  record.attempt = attempt;
  record.facts = facts;
  record.exitCode = ExitCodeFor(result);
  // What the user was shown about a result that is not a success.
  record.message = result.outcome == UpdateOutcome::kSuccess ? "" : result.message;
  if (result.cancel == CancelReason::kRefused) {
    record.result = "skipped";
    record.message = result.cancelNote;
  } else if (result.cancel == CancelReason::kSetupTimeout) {
    record.result = "setup_timeout";
    record.message = result.cancelNote;
  } else {
    record.result =
        record.exitCode == ExitCode::kCancelled ? "cancelled" : OutcomeName(result.outcome);
  }
  return record;
}

ModuleRecord ModuleUpdater::Run(int attempt) {
  if (json != nullptr)
    json->SetAttempt(attempt);
  UpdateResult result = update::RunUpdate(link, presenter, job);
  job.pageImage.Discard();
  if (result.outcome == UpdateOutcome::kSuccess)
    profile.WriteInt(profile::kSettingsSection, profile::kComPortEntry, job.port);
  if (isCut() && result.outcome != UpdateOutcome::kSuccess)
    result.cancel = CancelReason::kLinkCut;
  return RecordOf(shared, attempt, result, statistics.Facts());
}

bool ModuleUpdater::Keep(const ModuleRecord& record) {
  if (json != nullptr)
    json->Write("module_record", {{"record", RecordJson(record)}});
  if (report == nullptr || !report->IsOpen())
    return true;
  const bool kept = csv ? report->Append(RecordCsvLine(record), RecordCsvHeader())
                        : report->Append(RecordJsonLine(record));
  if (!kept)
    output.ErrorLine("The record of module " + std::to_string(record.attempt) +
                     " could not be written: " + report->Error());
  return kept;
}

void ModuleUpdater::Finish(ExitCode code, int updated, int failed, int skipped) {
  if (json != nullptr) {
    json->Write("run_finished", {{"exit_code", ToInt(code)},
                                 {"updated", updated},
                                 {"failed", failed},
                                 {"skipped", skipped}});
  }
}

std::string ProductionRun::Refusal(const ModuleReport& module) {
  const std::string& moduleId = module.moduleId;
  const auto updated = updatedAt_.find(moduleId);
  if (allowRepeat_ || updated == updatedAt_.end())
    return "";
  return "Module " + moduleId + " was already updated in this run (" + updated->second +
         "): Cancel Update, it is not updated again.";
}

void ProductionRun::Count(const ModuleRecord& record) {
  if (record.result == "skipped") {
    ++skipped_;
    return;
  }
  if (firstFailure_ == ExitCode::kSuccess)
    firstFailure_ = record.exitCode;
  if (!record.facts.moduleSeen)
    return;
  moduleMs_ += record.facts.durationMs;
  if (record.exitCode != ExitCode::kSuccess) {
    ++failed_;
    return;
  }
  ++updated_;
  if (record.facts.moduleId) {
    const auto finished = record.facts.start + std::chrono::milliseconds(record.facts.durationMs);
    updatedAt_[*record.facts.moduleId] =
        "module " + std::to_string(record.attempt) + ", " + IsoUtcTime(finished);
  }
}

std::string ProductionRun::Totals() const {
  return std::to_string(updated_) + " updated, " + std::to_string(failed_) + " failed, " +
         std::to_string(skipped_) + " skipped";
}

uint32_t ProductionRun::MeanModuleMs() const {
  const int modules = updated_ + failed_;
  return modules == 0 ? 0 : static_cast<uint32_t>(moduleMs_ / static_cast<uint64_t>(modules));
}

ExitCode RunProductionLoop(ModuleUpdater& updater, const ConsoleOptions& options) {
  ConsoleOutput& output = updater.output;
  ProductionRun run(options.allowRepeat);
  updater.prompt.SetModuleGate(&run);
  output.Line(options.count > 0 ? "Production loop: " + std::to_string(options.count) +
                                      " modules. Put the first module into its Setup mode."
                                : "Production loop until stopped (Ctrl-C): put the first module "
                                  "into its Setup mode.");
  bool recordLost = false;
  for (int attempt = 1;; ++attempt) {
    const ModuleRecord record = updater.Run(attempt);
    // Stopped before a module took part: the normal end of a loop, with nothing to record.
    if (record.exitCode == ExitCode::kCancelled && !record.facts.moduleSeen) {
      output.Line("The loop ends while it waits for the next module.");
      break;
    }
    recordLost = !updater.Keep(record);
    run.Count(record);
    output.Line(ModuleLine(record));
    if (StationFailed(record)) {
      output.ErrorLine("The loop ends: the next module would fail the same way.");
      break;
    }
    if (recordLost || updater.interrupts.Count() > 0)
      break;
    if (options.count > 0 && run.Updated() + run.Failed() >= options.count)
      break;
    output.Line(NextStep(record));
    output.Line("So far: " + run.Totals() + ".");
  }
  updater.prompt.SetModuleGate(nullptr);
  std::string totals = "Loop finished: " + run.Totals();
  if (const uint32_t mean = run.MeanModuleMs(); mean != 0)
    totals += "; " + SecondsText(mean) + " per module on average";
  output.Line(totals + ".");
  ExitCode code = run.FirstFailure();
  if (recordLost && code == ExitCode::kSuccess)
    code = ExitCode::kUsage;
  updater.Finish(code, run.Updated(), run.Failed(), run.Skipped());
  return code;
}
