#pragma once
#include <string>
#include <vector>

#include "history.h"
#include "postgres_connection.h"

// An attempt and a station's state as the parameters of history_sql.h, in PostgreSQL.
namespace history {

std::vector<PgParameter> AttemptParameters(const Attempt& attempt, EpochMs recordedMs);
// The attempts as the data of COPY attempts (columns of kInsertAttemptSql) FROM STDIN.
std::string AttemptCopyData(const std::vector<Attempt>& attempts, EpochMs recordedMs);
std::vector<PgParameter> StationParameters(const StationState& state);

}  // namespace history
