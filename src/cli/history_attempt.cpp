#include "history_attempt.h"

#include <chrono>
#include <nlohmann/json.hpp>

std::string StationName(const std::string& host, const std::string& port,
                        const std::string& device) {
  return host + ":" + (device.empty() ? port : device);
}

history::Attempt AttemptOf(const ModuleRecord& record) {
  const nlohmann::ordered_json json = RecordJson(record);
  history::Attempt attempt;
  attempt.station = record.station;
  attempt.host = record.host;
  attempt.port = record.device.empty() ? record.port : record.device;
  attempt.startMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(record.facts.start.time_since_epoch())
          .count();
  attempt.durationMs = record.facts.durationMs;
  attempt.moduleId = record.facts.moduleId;
  attempt.result = record.result;
  attempt.exitCode = ToInt(record.exitCode);
  attempt.message = record.message;
  attempt.imageSha256 = record.facts.imageSha256;
  attempt.firmwareVersion = record.firmwareVersion;
  attempt.pagesAccepted = record.facts.link.accepted;
  attempt.frames = record.facts.link.frames;
  attempt.resends = record.facts.link.resends;
  if (!json["round_trip_median_ms"].is_null())
    attempt.roundTripMedianMs = json["round_trip_median_ms"].get<double>();
  if (!json["round_trip_worst_ms"].is_null())
    attempt.roundTripWorstMs = json["round_trip_worst_ms"].get<double>();
  attempt.recordJson = DumpJson(json);
  return attempt;
}
