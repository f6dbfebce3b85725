#include "module_record.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <nlohmann/json.hpp>

#include "firmware/hex_page_image.h"
#include "text_fields.h"

namespace {
using Json = nlohmann::ordered_json;

template <typename T>
Json OrNull(const std::optional<T>& value) {
  return value ? Json(*value) : Json(nullptr);
}

// Rates and medians with one decimal: more says nothing a millisecond clock can know.
double OneDecimal(double value) {
  return std::round(value * 10) / 10;
}

Json TextOrNull(const std::optional<std::string>& text) {
  return text ? Json(Utf8FromBytes(*text)) : Json(nullptr);
}
}  // namespace

ModuleRecord EarlyRecord(const std::string& host, const FirmwareBundle& firmware,
                         const char* result, ExitCode code, const std::string& message) {
  ModuleRecord record;
  record.host = host;
  record.firmwareVersion = firmware.Version();
  record.hexFile = firmware.HexFileName();
  record.attempt = 1;
  record.facts.start = std::chrono::system_clock::now();
  record.result = result;
  record.exitCode = code;
  record.message = message;
  return record;
}

Json RecordJson(const ModuleRecord& record) {
  const ModuleFacts& facts = record.facts;
  const LinkFigures& link = facts.link;
  const bool transferred = link.frames != 0;
  Json json;
  json["schema"] = kRecordSchema;
  json["attempt"] = record.attempt;
  json["start_time"] = IsoUtcTime(facts.start);
  json["duration_ms"] = facts.durationMs;
  json["host"] = Utf8FromBytes(record.host);
  json["port"] = record.port;
  json["device"] = record.device.empty() ? Json(nullptr) : Json(Utf8FromBytes(record.device));
  json["baud"] = facts.baud != 0 ? Json(facts.baud) : Json(nullptr);
  json["base_station_id"] = TextOrNull(facts.baseStationId);
  json["module_id"] = TextOrNull(facts.moduleId);
  json["network_serial"] = TextOrNull(facts.networkSerial);
  json["pan_id"] = TextOrNull(facts.panId);
  json["rf_channel"] = TextOrNull(facts.rfChannel);
  json["boot_loader"] = TextOrNull(facts.bootLoader);
  json["firmware_version"] = Utf8FromBytes(record.firmwareVersion);
  json["hex_file"] = Utf8FromBytes(record.hexFile);
  json["image_sha256"] = OrNull(facts.imageSha256);
  json["image_pages"] = OrNull(facts.imagePages);
  json["pages_accepted"] = link.accepted;
  json["frames"] = link.frames;
  json["resends"] = link.resends;
  json["most_resent_page"] = link.mostResentPage >= 0 ? Json(link.mostResentPage) : Json(nullptr);
  json["most_resent_page_resends"] = link.mostResends;
  const std::optional<double> median = Median(link.roundTripsMs);
  json["round_trip_median_ms"] = median ? Json(OneDecimal(*median)) : Json(nullptr);
  json["round_trip_worst_ms"] =
      link.roundTripsMs.empty()
          ? Json(nullptr)
          : Json(*std::max_element(link.roundTripsMs.begin(), link.roundTripsMs.end()));
  json["transfer_bytes_per_s"] =
      transferred && link.spanMs != 0
          ? Json(OneDecimal(static_cast<double>(link.accepted * kPageSize) * 1000 / link.spanMs))
          : Json(nullptr);
  json["search_ms"] = facts.phases.search;
  json["setup_wait_ms"] = facts.phases.setupWait;
  json["radio_setup_ms"] = facts.phases.radioSetup;
  json["transfer_ms"] = facts.phases.transfer;
  json["restore_ms"] = facts.phases.restore;
  json["result"] = record.result;
  json["exit_code"] = ToInt(record.exitCode);
  json["message"] = Utf8FromBytes(record.message);
  json["stale_bytes_discarded"] = link.staleBytes;
  json["recovery"] = facts.recovery;
  json["station"] = Utf8FromBytes(record.station);
  return json;
}

std::string DumpJson(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string RecordJsonLine(const ModuleRecord& record) {
  return DumpJson(RecordJson(record)) + "\n";
}

std::string RecordCsvHeader() {
  const Json fields = RecordJson(ModuleRecord());
  std::string header;
  for (auto field = fields.begin(); field != fields.end(); ++field)
    header += (header.empty() ? "" : ",") + field.key();
  return header + "\r\n";
}

std::string RecordCsvLine(const ModuleRecord& record) {
  std::string line;
  bool first = true;
  const Json fields = RecordJson(record);
  for (const Json& value : fields) {
    if (!first)
      line += ',';
    first = false;
    if (value.is_string())
      line += CsvField(value.get<std::string>());
    else if (!value.is_null())
      line += DumpJson(value);
  }
  return line + "\r\n";
}
