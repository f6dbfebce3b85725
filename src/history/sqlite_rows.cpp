#include "sqlite_rows.h"

namespace history {

void BindAttempt(SqliteStatement& insert, const Attempt& attempt, EpochMs recordedMs) {
  insert.Bind(attempt.station).Bind(attempt.host).Bind(attempt.port).Bind(attempt.startMs);
  insert.Bind(attempt.durationMs).Bind(attempt.moduleId).Bind(attempt.result);
  insert.Bind(int64_t{attempt.exitCode}).Bind(attempt.message).Bind(attempt.imageSha256);
  insert.Bind(attempt.firmwareVersion).Bind(int64_t{attempt.pagesAccepted});
  insert.Bind(int64_t{attempt.frames}).Bind(int64_t{attempt.resends});
  insert.Bind(attempt.roundTripMedianMs).Bind(attempt.roundTripWorstMs);
  insert.Bind(attempt.recordJson).Bind(recordedMs);
}

void BindStation(SqliteStatement& insert, const StationState& state) {
  insert.Bind(state.station).Bind(state.host).Bind(state.port).Bind(state.state);
  insert.Bind(state.moduleId).Bind(int64_t{state.page}).Bind(int64_t{state.pages});
  insert.Bind(state.lastResult).Bind(state.lastMessage).Bind(int64_t{state.updated});
  insert.Bind(int64_t{state.failed}).Bind(int64_t{state.skipped}).Bind(int64_t{state.frames});
  insert.Bind(int64_t{state.resends}).Bind(state.startedMs).Bind(state.publishedMs);
}

}  // namespace history
