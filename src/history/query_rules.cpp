#include "query_rules.h"

#include "claim_rule.h"
#include "utf8_text.h"

namespace history {

namespace {

std::optional<std::string> StorableOptional(const std::optional<std::string>& text) {
  if (!text) {
    return std::nullopt;
  }
  return StorableText(*text);
}

}  // namespace

Attempt StorableAttempt(const Attempt& attempt) {
  Attempt stored = attempt;
  for (std::string* text : {&stored.station, &stored.host, &stored.port, &stored.result,
                            &stored.message, &stored.firmwareVersion, &stored.recordJson}) {
    *text = StorableText(*text);
  }
  stored.moduleId = StorableOptional(attempt.moduleId);
  stored.imageSha256 = StorableOptional(attempt.imageSha256);
  return stored;
}

StationState StorableState(const StationState& state) {
  StationState stored = state;
  for (std::string* text : {&stored.station, &stored.host, &stored.port, &stored.state,
                            &stored.lastResult, &stored.lastMessage}) {
    *text = StorableText(*text);
  }
  stored.moduleId = StorableOptional(state.moduleId);
  return stored;
}

bool Matches(const Attempt& attempt, const AttemptQuery& query) {
  if (query.moduleId && attempt.moduleId != StorableText(*query.moduleId)) {
    return false;
  }
  if (query.sinceMs && attempt.startMs < *query.sinceMs) {
    return false;
  }
  if (query.station && attempt.station != StorableText(*query.station)) {
    return false;
  }
  if (query.result) {
    return *query.result == "failed" ? IsFailure(attempt.result)
                                     : attempt.result == StorableText(*query.result);
  }
  return true;
}

void Count(const std::string& result, int& updated, int& failed, int& skipped) {
  if (result == "success") {
    ++updated;
  } else if (result == "skipped") {
    ++skipped;
  } else {
    ++failed;
  }
}

EpochMs HourOf(EpochMs ms) {
  constexpr EpochMs kHour = 3600 * 1000;
  return ms / kHour * kHour;  // as the databases' integer division
}

LinkPoint LinkPointOf(const Attempt& attempt) {
  return {attempt.station,          attempt.startMs, attempt.roundTripMedianMs,
          attempt.roundTripWorstMs, attempt.frames,  attempt.resends};
}

}  // namespace history
