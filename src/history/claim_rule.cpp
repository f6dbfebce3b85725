#include "claim_rule.h"

#include <chrono>

namespace history {

ClaimDecision DecideClaim(const std::optional<StoredClaim>& current, const std::string& station,
                          const std::optional<SuccessfulAttempt>& updated, EpochMs nowMs,
                          int64_t leaseMs) {
  ClaimDecision decision;
  const bool live = current && current->expiresMs > nowMs;
  if (live && current->station != station) {
    decision.result = {ClaimVerdict::kHeldElsewhere, current->station, current->claimedMs};
    return decision;
  }
  if (updated) {
    decision.result = {ClaimVerdict::kAlreadyUpdated, updated->station, updated->startMs};
    return decision;
  }
  // The holder of a live claim renews it and keeps the time it claimed the module.
  const EpochMs since = live ? current->claimedMs : nowMs;
  decision.result = {ClaimVerdict::kGranted, station, since};
  decision.store = StoredClaim{station, since, nowMs + leaseMs};
  return decision;
}

bool IsFailure(const std::string& result) {
  return result != "success" && result != "skipped";
}

EpochMs SystemNowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace history
