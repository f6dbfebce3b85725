#include "display_text.h"
#include "format_parts.h"

namespace history {

namespace {

std::string OptionalText(const std::optional<std::string>& text) {
  return text ? CsvText(*text) : "";
}

std::string OptionalMs(const std::optional<double>& ms) {
  return ms ? MsText(*ms) : "";
}

std::string Row(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    line += (i ? "," : "") + fields[i];
  }
  return line + "\r\n";
}

}  // namespace

std::string AttemptsCsv(const std::vector<Attempt>& attempts) {
  std::string out =
      Row({"start_time", "station", "host", "port", "module_id", "result", "exit_code",
           "duration_ms", "message", "image_sha256", "firmware_version", "pages_accepted", "frames",
           "resends", "round_trip_median_ms", "round_trip_worst_ms"});
  for (const Attempt& a : attempts) {
    out += Row({IsoUtc(a.startMs), CsvText(a.station), CsvText(a.host), CsvText(a.port),
                OptionalText(a.moduleId), CsvText(a.result), std::to_string(a.exitCode),
                std::to_string(a.durationMs), CsvText(a.message), OptionalText(a.imageSha256),
                CsvText(a.firmwareVersion), std::to_string(a.pagesAccepted),
                std::to_string(a.frames), std::to_string(a.resends),
                OptionalMs(a.roundTripMedianMs), OptionalMs(a.roundTripWorstMs)});
  }
  return out;
}

std::string CountsCsv(const std::vector<StationCount>& counts) {
  std::string out = Row({"station", "updated", "failed", "skipped"});
  for (const StationCount& c : counts) {
    out += Row({CsvText(c.station), std::to_string(c.updated), std::to_string(c.failed),
                std::to_string(c.skipped)});
  }
  return out;
}

}  // namespace history
