#pragma once
#include <functional>
#include <map>
#include <string>

#include "console_input.h"
#include "console_options.h"
#include "console_output.h"
#include "console_presenter.h"
#include "core/profile_store.h"
#include "module_record.h"
#include "module_statistics.h"
#include "record_keeper.h"
#include "setup_prompt.h"
#include "update/link_context.h"
#include "update/update_procedure.h"

// What the console needs to run one module's update and keep its record.
struct ModuleUpdater {
  LinkContext& link;
  ConsolePresenter& presenter;
  update::UpdateJob job;
  SetupPrompt& prompt;
  ModuleStatistics& statistics;
  ConsoleOutput& output;
  ProfileStore& profile;
  const InterruptCounter& interrupts;
  // The second Ctrl-C cut the serial link.
  std::function<bool()> isCut;
  RecordKeeper& records;
  // The fields every record of this run shares: host, port, device, firmware.
  ModuleRecord shared;
  // Called after each update the module holds: remembers the port for the next run.
  std::function<void()> rememberPort;

  // One complete update procedure (search to restore) and its record.
  ModuleRecord Run(int attempt);
};

// The record of one update from its result and what its events showed.
ModuleRecord RecordOf(const ModuleRecord& shared, int attempt, const UpdateResult& result,
                      const ModuleFacts& facts);

// The modules of a run so far: the IDs updated, the totals and the first failure. Turns a
// module ID down that was already updated in this run, unless repeats are allowed.
class ProductionRun : public ModuleGate {
 public:
  explicit ProductionRun(bool allowRepeat) : allowRepeat_(allowRepeat) {}
  std::string Refusal(const ModuleReport& module) override;
  // Counts a record: a failure of the station before any module took part counts as failed.
  void Count(const ModuleRecord& record);

  const RunTotals& Totals() const { return totals_; }
  // The modules that count towards --count: updated or failed.
  int Counted() const { return totals_.updated + totals_.failed; }
  // The exit status of the first failure class seen, 0 when none.
  ExitCode FirstFailure() const { return firstFailure_; }
  // "2 updated, 1 failed, 1 skipped".
  std::string TotalsText() const;
  // Mean duration of the modules updated or failed, in milliseconds; 0 when none.
  uint32_t MeanModuleMs() const;

 private:
  bool allowRepeat_;
  std::map<std::string, std::string> updatedAt_;  // module ID -> when, and in which attempt
  RunTotals totals_;
  int modulesTimed_ = 0;
  uint64_t moduleMs_ = 0;
  ExitCode firstFailure_ = ExitCode::kSuccess;
};

// The exit status of a run: its first failure, else the loss of a record, else success.
ExitCode RunExitCode(const ProductionRun& run, const RecordKeeper& records);

// --repeat / --count: one module after another, each counted in `run`, until the loop is
// stopped while it waits for the next module, or the count is reached, or the station itself
// fails, or a record could not be written.
void RunProductionLoop(ModuleUpdater& updater, ProductionRun& run, const ConsoleOptions& options);
