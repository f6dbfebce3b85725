#include "production_loop.h"

#include <nlohmann/json.hpp>

#include "hex_diagnostic.h"
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

// What the console can add to a failure that the dialog's texts do not say; empty for none.
std::string FailureDetail(const UpdateResult& result, const ModuleUpdater& updater) {
  switch (result.outcome) {
    case UpdateOutcome::kPortOpenFailed:
      return updater.link.port.OpenFailure();
    case UpdateOutcome::kNoBaseStation:
      if (updater.link.options.baudRates.size() != 1)
        return {};
      return "Only " + std::to_string(updater.link.options.baudRates.front()) +
             " baud was tried (--baud): without --baud all six rates are searched.";
    case UpdateOutcome::kFirmwareFileProblem:
      if (result.hexProblem.kind == HexProblem::Kind::kNone)
        return {};
      return updater.job.firmware.HexFileName() + ": " + DescribeHexProblem(result.hexProblem) +
             ". kqm-update check shows it without a module.";
    default:
      return {};
  }
}

ModuleRecord ModuleUpdater::Run(int attempt) {
  records.BeginAttempt(attempt);
  UpdateResult result = update::RunUpdate(link, presenter, job);
  job.pageImage.Discard();
  if (result.outcome == UpdateOutcome::kSuccess && rememberPort)
    rememberPort();
  if (isCut() && result.outcome != UpdateOutcome::kSuccess)
    result.cancel = CancelReason::kLinkCut;
  const std::string detail = isCut() ? "" : FailureDetail(result, *this);
  if (!detail.empty()) {
    output.ErrorLine(detail);
    result.message += "\n" + detail;
  }
  return RecordOf(shared, attempt, result, statistics.Facts());
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
    ++totals_.skipped;
    return;
  }
  if (firstFailure_ == ExitCode::kSuccess)
    firstFailure_ = record.exitCode;
  if (record.exitCode != ExitCode::kSuccess)
    ++totals_.failed;
  if (record.facts.moduleSeen) {
    ++modulesTimed_;
    moduleMs_ += record.facts.durationMs;
  }
  if (record.exitCode != ExitCode::kSuccess)
    return;
  ++totals_.updated;
  if (record.facts.moduleId) {
    const auto finished = record.facts.start + std::chrono::milliseconds(record.facts.durationMs);
    updatedAt_[*record.facts.moduleId] =
        "module " + std::to_string(record.attempt) + ", " + IsoUtcTime(finished);
  }
}

std::string ProductionRun::TotalsText() const {
  return std::to_string(totals_.updated) + " updated, " + std::to_string(totals_.failed) +
         " failed, " + std::to_string(totals_.skipped) + " skipped";
}

uint32_t ProductionRun::MeanModuleMs() const {
  return modulesTimed_ == 0
             ? 0
             : static_cast<uint32_t>(moduleMs_ / static_cast<uint64_t>(modulesTimed_));
}

ExitCode RunExitCode(const ProductionRun& run, const RecordKeeper& records) {
  if (run.FirstFailure() != ExitCode::kSuccess)
    return run.FirstFailure();
  return records.RecordLost() ? ExitCode::kRecordLost : ExitCode::kSuccess;
}

void RunProductionLoop(ModuleUpdater& updater, ProductionRun& run, const ConsoleOptions& options) {
  ConsoleOutput& output = updater.output;
  updater.prompt.SetModuleGate(&run);
  output.Line(options.count > 0 ? "Production loop: " + std::to_string(options.count) +
                                      " modules. Put the first module into its Setup mode."
                                : "Production loop until stopped (Ctrl-C): put the first module "
                                  "into its Setup mode.");
  for (int attempt = 1;; ++attempt) {
    const ModuleRecord record = updater.Run(attempt);
    // Stopped before a module took part: the normal end of a loop, with nothing to record.
    if (record.exitCode == ExitCode::kCancelled && !record.facts.moduleSeen) {
      output.Line("The loop ends while it waits for the next module.");
      break;
    }
    const bool kept = updater.records.Keep(record);
    run.Count(record);
    output.Line(ModuleLine(record));
    if (StationFailed(record)) {
      output.ErrorLine("The loop ends: the next module would fail the same way.");
      break;
    }
    if (!kept || updater.interrupts.Count() > 0)
      break;
    if (options.count > 0 && run.Counted() >= options.count)
      break;
    output.Line(NextStep(record));
    output.Line("So far: " + run.TotalsText() + ".");
  }
  updater.prompt.SetModuleGate(nullptr);
  std::string totals = "Loop finished: " + run.TotalsText();
  if (const uint32_t mean = run.MeanModuleMs(); mean != 0)
    totals += "; " + SecondsText(mean) + " per module on average";
  output.Line(totals + ".");
}
