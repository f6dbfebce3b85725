#pragma once
#include "history.h"

// What the questions to the history mean, for the history that answers them in C++ (memory);
// the databases answer the same in SQL. Kept beside each other so that they stay one meaning.
namespace history {

// The attempt and the state with every text as stored (utf8_text.h).
Attempt StorableAttempt(const Attempt& attempt);
StationState StorableState(const StationState& state);

// Whether an attempt meets every condition the query gives ("failed": every failure class).
bool Matches(const Attempt& attempt, const AttemptQuery& query);

// Adds one attempt of this result class to the counts.
void Count(const std::string& result, int& updated, int& failed, int& skipped);

// The start of the hour (UTC) the moment lies in.
EpochMs HourOf(EpochMs ms);

LinkPoint LinkPointOf(const Attempt& attempt);

}  // namespace history
