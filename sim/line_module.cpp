#include "sim/line_module.h"

#include "sim/number_text.h"

namespace sim {

namespace {

bool SetSerial(const std::string& value, ModuleParams& params) {
  uint64_t high = 0, low = 0;
  if (value.size() != 17 || (value[8] != '-' && value[8] != ':' && value[8] != ' ') ||
      !ParseNumber(value.substr(0, 8), 16, 0xFFFFFFFF, high) ||
      !ParseNumber(value.substr(9), 16, 0xFFFFFFFF, low))
    return false;
  params.serialHigh = static_cast<uint32_t>(high);
  params.serialLow = static_cast<uint32_t>(low);
  return true;
}

}  // namespace

bool SetModuleValue(const std::string& name, const std::string& value, LineModule& entry) {
  ModuleParams& params = entry.params;
  uint64_t number = 0;
  if (name == "id") {
    if (value.empty() || value.size() > 6)
      return false;
    params.moduleId = value;
  } else if (name == "serial") {
    return SetSerial(value, params);
  } else if (name == "pan") {
    if (!ParseNumber(value, 16, 0xFFFF, number))
      return false;
    params.panId = static_cast<uint16_t>(number);
  } else if (name == "channel") {
    if (!ParseNumber(value, value.rfind("0x", 0) == 0 ? 16 : 10, 0xFF, number))
      return false;
    params.channel = static_cast<uint8_t>(number);
  } else if (name == "station") {
    if (!ParseNumber(value, 10, 64, number) || number == 0)
      return false;
    entry.station = static_cast<size_t>(number);
  } else if (name == "setup-after") {
    if (value != "off" && !ParseNumber(value, 10, 3600000, number))
      return false;
    entry.pressSetupAfterReportModeMs = value == "off" ? -1 : static_cast<int32_t>(number);
  } else {
    return false;
  }
  return true;
}

bool ParseLineModule(const std::string& text, LineModule& entry, std::string& error) {
  LineModule parsed = entry;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(',', at);
    const size_t equals = text.find('=', at);
    if (text.compare(at, 7, "faults=") == 0) {
      const Scenario before = parsed.faults;
      if (!ParseScenario(text.substr(at + 7), parsed.faults, error))
        return false;
      if (parsed.faults.baseBaud != before.baseBaud || parsed.faults.portBusy != before.portBusy ||
          parsed.faults.portBusyOpens != before.portBusyOpens) {
        error = "baud= and port-busy belong to the whole run, not to one module";
        return false;
      }
      break;
    }
    if (end == std::string::npos)
      end = text.size();
    const std::string item = text.substr(at, end - at);
    if (!item.empty() &&
        (equals >= end || !SetModuleValue(text.substr(at, equals - at),
                                          text.substr(equals + 1, end - equals - 1), parsed))) {
      error = "unknown module value or bad value: \"" + item + "\"";
      return false;
    }
    at = end + 1;
  }
  entry = parsed;
  return true;
}

}  // namespace sim
