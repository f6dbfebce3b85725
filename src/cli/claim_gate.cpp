#include "claim_gate.h"

#include <chrono>

#include "text_fields.h"

std::string IsoUtcTimeOf(history::EpochMs epochMs) {
  return IsoUtcTime(std::chrono::system_clock::time_point(std::chrono::milliseconds(epochMs)));
}

std::string ClaimGate::Refusal(const ModuleReport& module) {
  const std::string& id = module.moduleId;
  history::ClaimResult claim;
  try {
    claim = history_.Claim(id, station_, imageSha256_, allowRepeat_, leaseMs_);
  } catch (const history::HistoryError& error) {
    return "The line's history cannot be asked whether module " + id + " is taken (" +
           error.what() + "): Cancel Update, it is not updated here.";
  }
  if (claim.verdict == history::ClaimVerdict::kHeldElsewhere)
    return "Module " + id + " is being updated at " + claim.station + " (since " +
           IsoUtcTimeOf(claim.sinceMs) + "): Cancel Update, it is not updated here.";
  if (claim.verdict != history::ClaimVerdict::kGranted)
    return "Module " + id + " was already updated with this firmware at " + claim.station + " (" +
           IsoUtcTimeOf(claim.sinceMs) + "): Cancel Update, it is not updated again.";
  // Asked after the history, so that a module updated before is said to be so whatever the
  // count.
  if (!totals_.Reserve()) {
    ReleaseQuietly(id);
    return "The line has updated its modules (--count): Cancel Update, module " + id +
           " is not updated here.";
  }
  std::lock_guard<Mutex> guard(lock_);
  claimed_ = id;
  reserved_ = true;
  return {};
}

void ClaimGate::ReleaseQuietly(const std::string& id) {
  try {
    history_.Release(id, station_);
  } catch (const history::HistoryError&) {
    // The lease runs out by itself.
  }
}

bool ClaimGate::Done() {
  std::string claimed;
  bool reserved;
  {
    std::lock_guard<Mutex> guard(lock_);
    claimed.swap(claimed_);
    reserved = reserved_;
    reserved_ = false;
  }
  if (!claimed.empty())
    ReleaseQuietly(claimed);
  return reserved;
}

void ClaimGate::Renew() {
  std::string claimed;
  {
    std::lock_guard<Mutex> guard(lock_);
    claimed = claimed_;
  }
  if (claimed.empty())
    return;
  try {
    history_.Renew(claimed, station_, leaseMs_);
  } catch (const history::HistoryError&) {
    // Tried again at the next renewal; the lease is three renewals long.
  }
}
