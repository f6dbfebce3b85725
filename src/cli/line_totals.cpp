#include "line_totals.h"

void LineTotals::Count(const ModuleRecord& record, bool reserved) {
  std::lock_guard<Mutex> guard(lock_);
  if (reserved && reserved_ > 0)
    --reserved_;
  if (record.result == "skipped") {
    ++totals_.skipped;
    return;
  }
  if (firstFailure_ == ExitCode::kSuccess)
    firstFailure_ = record.exitCode;
  if (record.exitCode != ExitCode::kSuccess)
    ++totals_.failed;
  else
    ++totals_.updated;
  if (record.facts.moduleSeen) {
    ++modulesTimed_;
    moduleMs_ += record.facts.durationMs;
  }
}

bool LineTotals::Reserve() {
  std::lock_guard<Mutex> guard(lock_);
  if (!PlaceLeftLocked())
    return false;
  ++reserved_;
  return true;
}

bool LineTotals::PlaceLeft() const {
  std::lock_guard<Mutex> guard(lock_);
  return PlaceLeftLocked();
}

bool LineTotals::CountReached() const {
  std::lock_guard<Mutex> guard(lock_);
  return count_ > 0 && totals_.updated + totals_.failed >= count_;
}

RunTotals LineTotals::Totals() const {
  std::lock_guard<Mutex> guard(lock_);
  return totals_;
}

ExitCode LineTotals::FirstFailure() const {
  std::lock_guard<Mutex> guard(lock_);
  return firstFailure_;
}

std::string LineTotals::TotalsText() const {
  const RunTotals totals = Totals();
  return std::to_string(totals.updated) + " updated, " + std::to_string(totals.failed) +
         " failed, " + std::to_string(totals.skipped) + " skipped";
}

uint32_t LineTotals::MeanModuleMs() const {
  std::lock_guard<Mutex> guard(lock_);
  return modulesTimed_ == 0
             ? 0
             : static_cast<uint32_t>(moduleMs_ / static_cast<uint64_t>(modulesTimed_));
}

ExitCode RunExitCode(const LineTotals& totals, const RecordKeeper& records) {
  if (totals.FirstFailure() != ExitCode::kSuccess)
    return totals.FirstFailure();
  return records.RecordLost() ? ExitCode::kRecordLost : ExitCode::kSuccess;
}
