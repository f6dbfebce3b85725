#pragma once
#include <nlohmann/json_fwd.hpp>
#include <string>

#include "exit_codes.h"
#include "firmware/firmware_bundle.h"
#include "module_statistics.h"

// One line of the report file: one module attempt, as docs/console-records.md describes it.
struct ModuleRecord {
  int attempt = 0;  // the update procedure's number in this run, from 1
  std::string host;
  std::string port;     // "COM3"
  std::string device;   // the device behind the port, empty where the name says it all
  std::string station;  // the station's name in the line's history: "<host>:<device or port>"
  std::string firmwareVersion;
  std::string hexFile;
  ModuleFacts facts;
  std::string result;  // the result class: an outcome's name, "skipped" or "setup_timeout"
  ExitCode exitCode = ExitCode::kSuccess;
  std::string message;  // what the user was shown about the result, empty on success
};

// The one record of a run that ended before any module took part (the firmware files, no
// port): the host, the firmware as far as it was read, and why.
ModuleRecord EarlyRecord(const std::string& host, const FirmwareBundle& firmware,
                         const char* result, ExitCode code, const std::string& message);

// The version of the record's fields and of the event lines; raised when a field changes
// meaning or goes away (new fields may be added without it).
constexpr int kRecordSchema = 1;

// The record's fields in their documented order, every one present (null when not known).
nlohmann::ordered_json RecordJson(const ModuleRecord& record);
// One JSON Lines record, ending in a newline.
std::string RecordJsonLine(const ModuleRecord& record);
// The CSV header row and one CSV row, each ending in CR LF; a null field is empty.
std::string RecordCsvHeader();
std::string RecordCsvLine(const ModuleRecord& record);

// The exact dump of every JSON text the console writes: device bytes are already UTF-8.
std::string DumpJson(const nlohmann::ordered_json& value);
