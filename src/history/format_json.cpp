#include <nlohmann/json.hpp>

#include "display_text.h"
#include "format_parts.h"
#include "utf8_text.h"

namespace history {

namespace {

using Json = nlohmann::ordered_json;

Json Text(const std::string& text) {
  return StorableText(text);
}

Json OptionalText(const std::optional<std::string>& text) {
  return text ? Text(*text) : Json(nullptr);
}

Json OptionalMs(const std::optional<double>& ms) {
  return ms ? Json(*ms) : Json(nullptr);
}

// The report file's record as it was written, as an object when it is JSON.
Json Record(const std::string& recordJson) {
  const std::string text = StorableText(recordJson);
  Json record = Json::parse(text, nullptr, false);
  return record.is_discarded() ? Json(text) : record;
}

std::string Line(const Json& object) {
  return object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string AttemptsJson(const std::vector<Attempt>& attempts) {
  std::string out;
  for (const Attempt& a : attempts) {
    Json line;
    line["start_time"] = IsoUtc(a.startMs);
    line["start_ms"] = a.startMs;
    line["station"] = Text(a.station);
    line["host"] = Text(a.host);
    line["port"] = Text(a.port);
    line["module_id"] = OptionalText(a.moduleId);
    line["result"] = Text(a.result);
    line["exit_code"] = a.exitCode;
    line["duration_ms"] = a.durationMs;
    line["message"] = Text(a.message);
    line["image_sha256"] = OptionalText(a.imageSha256);
    line["firmware_version"] = Text(a.firmwareVersion);
    line["pages_accepted"] = a.pagesAccepted;
    line["frames"] = a.frames;
    line["resends"] = a.resends;
    line["round_trip_median_ms"] = OptionalMs(a.roundTripMedianMs);
    line["round_trip_worst_ms"] = OptionalMs(a.roundTripWorstMs);
    line["record"] = a.recordJson.empty() ? Json(nullptr) : Record(a.recordJson);
    out += Line(line);
  }
  return out;
}

std::string CountsJson(const std::vector<StationCount>& counts) {
  std::string out;
  for (const StationCount& c : counts) {
    out += Line(Json{{"station", Text(c.station)},
                     {"updated", c.updated},
                     {"failed", c.failed},
                     {"skipped", c.skipped}});
  }
  return out;
}

}  // namespace history
