#pragma once
#include <optional>
#include <string>

#include "history.h"

// The claim rule of the histories that decide in C++ (memory, SQLite): PostgreSQL decides the
// same in one statement on its server.
namespace history {

struct StoredClaim {
  std::string station;
  EpochMs claimedMs = 0;
  EpochMs expiresMs = 0;
};

struct SuccessfulAttempt {
  std::string station;
  EpochMs startMs = 0;
};

struct ClaimDecision {
  ClaimResult result;
  // When granted: the claim to store (the holder renewing keeps its `claimedMs`).
  std::optional<StoredClaim> store;
};

// `updated`: the latest successful attempt of the module with the same page image, looked up
// only when repeats are not allowed.
ClaimDecision DecideClaim(const std::optional<StoredClaim>& current, const std::string& station,
                          const std::optional<SuccessfulAttempt>& updated, EpochMs nowMs,
                          int64_t leaseMs);

// A result class that counts as a failure: everything but "success" and "skipped".
bool IsFailure(const std::string& result);

// Milliseconds since 1970 by the system clock, for the histories without a server.
EpochMs SystemNowMs();

}  // namespace history
