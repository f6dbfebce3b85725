#pragma once
#include <functional>
#include <map>
#include <string>

#include "console_input.h"
#include "console_options.h"
#include "console_output.h"
#include "console_presenter.h"
#include "core/profile_store.h"
#include "json_events.h"
#include "module_record.h"
#include "module_statistics.h"
#include "record_file.h"
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
  // Where records go: the report file (when open) and the event lines (when given).
  RecordFile* report = nullptr;
  bool csv = false;
  JsonEventStream* json = nullptr;
  // The fields every record of this run shares: host, port, device, firmware.
  ModuleRecord shared;

  // One complete update procedure (search to restore) and its record.
  ModuleRecord Run(int attempt);
  // Appends the record to the report and the event lines; false (and said why) when the
  // report file could not take it.
  bool Keep(const ModuleRecord& record);
  // The last line of the event stream: how the run ended and its totals.
  void Finish(ExitCode code, int updated, int failed, int skipped);
};

// The record of one update from its result and what its events showed.
ModuleRecord RecordOf(const ModuleRecord& shared, int attempt, const UpdateResult& result,
                      const ModuleFacts& facts);

// The modules of a loop so far: the IDs updated, the totals and the first failure. Turns a
// module ID down that was already updated in this run, unless repeats are allowed.
class ProductionRun : public ModuleGate {
 public:
  explicit ProductionRun(bool allowRepeat) : allowRepeat_(allowRepeat) {}
  std::string Refusal(const ModuleReport& module) override;
  // Counts a module's record.
  void Count(const ModuleRecord& record);

  int Updated() const { return updated_; }
  int Failed() const { return failed_; }
  int Skipped() const { return skipped_; }
  // The exit status of the first failure class seen, 0 when none.
  ExitCode FirstFailure() const { return firstFailure_; }
  // "2 updated, 1 failed, 1 skipped".
  std::string Totals() const;
  // Mean duration of the modules updated or failed, in milliseconds; 0 when none.
  uint32_t MeanModuleMs() const;

 private:
  bool allowRepeat_;
  std::map<std::string, std::string> updatedAt_;  // module ID -> when, and in which attempt
  int updated_ = 0, failed_ = 0, skipped_ = 0;
  uint64_t moduleMs_ = 0;
  ExitCode firstFailure_ = ExitCode::kSuccess;
};

// --repeat / --count: one module after another until the loop is stopped while it waits for
// the next module, or the count is reached, or the station itself fails. The exit status is 0
// when every module succeeded, else that of the first failure class.
ExitCode RunProductionLoop(ModuleUpdater& updater, const ConsoleOptions& options);
