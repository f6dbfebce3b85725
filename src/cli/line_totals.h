#pragma once
#include <cstdint>
#include <string>

#include "exit_codes.h"
#include "module_record.h"
#include "record_keeper.h"
#include "threads.h"

// The modules of a run so far, over every station of the line: the totals, the first failure
// and the mean time per module, and the --count that ends the line. Safe from every station's
// thread.
class LineTotals {
 public:
  // `count`: the modules (updated or failed) after which the line ends; 0 for no end.
  explicit LineTotals(int count = 0) : count_(count) {}

  // Counts a record: a failure of the station before any module took part counts as failed.
  // `reserved`: the module had reserved its place in the count (Reserve), which it now fills.
  void Count(const ModuleRecord& record, bool reserved = false);
  // A station may start one more module: false once the modules counted and those in progress
  // reach the count. Each true is followed by the Count of that module.
  bool Reserve();
  // Whether Reserve would find a place now: false while the modules counted and those in
  // progress reach the count (one of those may still end without filling its place).
  bool PlaceLeft() const;
  // The count is reached: no station starts another module.
  bool CountReached() const;

  RunTotals Totals() const;
  // The exit status of the first failure class seen, 0 when none.
  ExitCode FirstFailure() const;
  // "2 updated, 1 failed, 1 skipped".
  std::string TotalsText() const;
  // Mean duration of the modules updated or failed, in milliseconds; 0 when none.
  uint32_t MeanModuleMs() const;

 private:
  bool PlaceLeftLocked() const {
    return count_ == 0 || totals_.updated + totals_.failed + reserved_ < count_;
  }

  const int count_;
  mutable Mutex lock_;
  RunTotals totals_;
  int reserved_ = 0;
  int modulesTimed_ = 0;
  uint64_t moduleMs_ = 0;
  ExitCode firstFailure_ = ExitCode::kSuccess;
};

// The exit status of a run: its first failure, else the loss of a record, else success.
ExitCode RunExitCode(const LineTotals& totals, const RecordKeeper& records);
