#pragma once
#include "history.h"
#include "sqlite_database.h"

// An attempt and a station's state as the parameters of history_sql.h, in SQLite.
namespace history {

void BindAttempt(SqliteStatement& insert, const Attempt& attempt, EpochMs recordedMs);
void BindStation(SqliteStatement& insert, const StationState& state);

}  // namespace history
