#include "postgres_rows.h"

#include <cstdio>

#include "query_rules.h"

namespace history {

namespace {

PgParameter Number(int64_t value) {
  return std::to_string(value);
}

PgParameter Real(const std::optional<double>& value) {
  if (!value) {
    return std::nullopt;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", *value);
  return std::string(text);
}

// One field of COPY's text format: NULL as \N, the separators escaped.
void AppendCopyField(std::string& out, const PgParameter& value, bool last) {
  if (!value) {
    out += "\\N";
  } else {
    for (char c : *value) {
      switch (c) {
        case '\\':
          out += "\\\\";
          break;
        case '\t':
          out += "\\t";
          break;
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        default:
          out += c;
      }
    }
  }
  out += last ? '\n' : '\t';
}

}  // namespace

std::vector<PgParameter> AttemptParameters(const Attempt& attempt, EpochMs recordedMs) {
  const Attempt a = StorableAttempt(attempt);
  return {a.station,
          a.host,
          a.port,
          Number(a.startMs),
          Number(a.durationMs),
          a.moduleId,
          a.result,
          Number(a.exitCode),
          a.message,
          a.imageSha256,
          a.firmwareVersion,
          Number(a.pagesAccepted),
          Number(a.frames),
          Number(a.resends),
          Real(a.roundTripMedianMs),
          Real(a.roundTripWorstMs),
          a.recordJson,
          Number(recordedMs)};
}

std::string AttemptCopyData(const std::vector<Attempt>& attempts, EpochMs recordedMs) {
  std::string data;
  for (const Attempt& attempt : attempts) {
    const std::vector<PgParameter> fields = AttemptParameters(attempt, recordedMs);
    for (std::size_t i = 0; i < fields.size(); ++i) {
      AppendCopyField(data, fields[i], i + 1 == fields.size());
    }
  }
  return data;
}

std::vector<PgParameter> StationParameters(const StationState& state) {
  const StationState s = StorableState(state);
  return {s.station,
          s.host,
          s.port,
          s.state,
          s.moduleId,
          Number(s.page),
          Number(s.pages),
          s.lastResult,
          s.lastMessage,
          Number(s.updated),
          Number(s.failed),
          Number(s.skipped),
          Number(s.frames),
          Number(s.resends),
          Number(s.startedMs)};
}

}  // namespace history
