#include "sim/scenario.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "sim/number_text.h"

namespace sim {

namespace {

// Splits "a:b:c".
std::vector<std::string> Fields(const std::string& text) {
  std::vector<std::string> fields;
  std::stringstream stream(text);
  std::string field;
  while (std::getline(stream, field, ':')) fields.push_back(field);
  if (!text.empty() && text.back() == ':')
    fields.push_back("");
  return fields;
}

bool Page(const std::string& text, uint16_t& page) {
  uint64_t number = 0;
  if (!ParseNumber(text, 10, 0xFFFF, number))
    return false;
  page = static_cast<uint16_t>(number);
  return true;
}

bool Byte(const std::string& text, uint8_t& byte) {
  uint64_t number = 0;
  if (!ParseNumber(text, 16, 0xFF, number))
    return false;
  byte = static_cast<uint8_t>(number);
  return true;
}

// A count from 1 to `limit`.
bool Count(const std::string& text, uint64_t limit, uint64_t& count) {
  return ParseNumber(text, 10, limit, count) && count > 0;
}

bool SetBaud(const std::string& value, Scenario& s) {
  uint64_t baud = 0;
  if (!Count(value, 4000000, baud))
    return false;
  s.baseBaud = static_cast<uint32_t>(baud);
  return true;
}

bool SetPortBusyOpens(const std::string& value, Scenario& s) {
  uint64_t opens = 0;
  if (!Count(value, 1000, opens))
    return false;
  s.portBusyOpens = static_cast<int>(opens);
  return true;
}

bool SetBaseStops(const std::string& value, Scenario& s) {
  uint64_t commands = 0;
  if (!Count(value, 100000, commands))
    return false;
  s.baseStopsAfter = static_cast<int>(commands);
  return true;
}

// N:MS
bool SetPortGone(const std::string& value, Scenario& s) {
  const std::vector<std::string> fields = Fields(value);
  uint64_t commands = 0, ms = 0;
  if (fields.size() != 2 || !Count(fields[0], 100000, commands) || !Count(fields[1], 3600000, ms))
    return false;
  s.portGoneAfter = static_cast<int>(commands);
  s.portGoneMs = static_cast<uint32_t>(ms);
  return true;
}

template <std::optional<std::string> Scenario::*text, size_t limit>
bool SetText(const std::string& value, Scenario& s) {
  if (value.size() > limit)
    return false;
  s.*text = value;
  return true;
}

bool SetReady(const std::string& value, Scenario& s) {
  uint8_t byte = 0;
  if (!Byte(value, byte))
    return false;
  s.readyByte = byte;
  return true;
}

// SIDE:NN[:S]
bool SetBadStatus(const std::string& value, Scenario& s) {
  const std::vector<std::string> fields = Fields(value);
  if (fields.size() < 2 || fields.size() > 3 || fields[1].size() != 2)
    return false;
  Side side;
  if (fields[0] == "base") {
    side = Side::kBase;
  } else if (fields[0] == "module") {
    side = Side::kModule;
  } else {
    return false;
  }
  uint64_t status = 1;
  if (fields.size() == 3 && !Count(fields[2], 0xFF, status))
    return false;
  std::string parameter = fields[1];
  for (char& c : parameter) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  s.badStatus[{side, parameter}] = static_cast<uint8_t>(status);
  return true;
}

// K:M
bool SetNakPage(const std::string& value, Scenario& s) {
  const std::vector<std::string> fields = Fields(value);
  uint16_t page = 0;
  uint64_t naks = 0;
  if (fields.size() != 2 || !Page(fields[0], page) || !Count(fields[1], 1000, naks))
    return false;
  s.nakPage[page] = static_cast<int>(naks);
  return true;
}

// K:HH
bool SetPageReply(const std::string& value, Scenario& s) {
  const std::vector<std::string> fields = Fields(value);
  uint16_t page = 0;
  uint8_t reply = 0;
  if (fields.size() != 2 || !Page(fields[0], page) || !Byte(fields[1], reply))
    return false;
  s.pageReply[page] = reply;
  return true;
}

bool SetNoPageReply(const std::string& value, Scenario& s) {
  uint16_t page = 0;
  if (!Page(value, page))
    return false;
  s.noPageReply.push_back(page);
  return true;
}

bool SetDropAfterPage(const std::string& value, Scenario& s) {
  uint16_t page = 0;
  if (!Page(value, page))
    return false;
  s.dropAfterPage = page;
  return true;
}

// One named fault: the bare name sets `flag`, NAME=VALUE hands the value to `set`; a fault
// without the one or the other does not take that form.
struct FaultName {
  const char* name;
  const char* form;  // what may follow the name, for the help text
  const char* help;  // lines after the first are indented under it
  bool Scenario::*flag;
  bool (*set)(const std::string& value, Scenario& s);
};

const FaultName kFaults[] = {
    {"silent-base", "", "the base station neither listens nor answers", &Scenario::silentBase,
     nullptr},
    {"wrong-id", "", "identification begins \"\\rKV-TSLK-99,\"", &Scenario::wrongIdentification,
     nullptr},
    {"short-id", "", "identification of 17 bytes only", &Scenario::shortIdentification, nullptr},
    {"baud", "=N", "the base station's baud rate", nullptr, SetBaud},
    {"base-stops", "=N", "the base station falls silent after its N-th command", nullptr,
     SetBaseStops},
    {"port-gone", "=N:MS",
     "(tessalink-sim only) the port vanishes at the base\nstation's N-th command, back MS later",
     nullptr, SetPortGone},
    {"bad-status", "=SIDE:NN[:S]",
     "status S (default 1) for radio parameter NN;\nSIDE is base or module", nullptr, SetBadStatus},
    {"module-answers-id", "=TEXT", "the module answers \"I\" with TEXT", nullptr,
     SetText<&Scenario::answeredId, 15>},
    {"bootloader-running", "", "the module waits in its boot loader already",
     &Scenario::bootLoaderRunning, nullptr},
    {"report-crlf", "", "Setup report lines end in CR LF", &Scenario::reportCrLf, nullptr},
    {"report-long-values", "", "every Setup report value one character too long",
     &Scenario::reportLongValues, nullptr},
    {"report-unknown-labels", "", "Setup report labels spelled differently",
     &Scenario::reportUnknownLabels, nullptr},
    {"report-150-no-cr", "", "150 characters without CR before the Setup report",
     &Scenario::report150WithoutCr, nullptr},
    {"silent-bootloader", "", "the boot loader answers nothing", &Scenario::silentBootLoader,
     nullptr},
    {"version-leading-lf", "", "LF before the boot loader identification",
     &Scenario::versionLeadingLf, nullptr},
    {"version-trailing-crlf", "", "CR LF after the boot loader identification",
     &Scenario::versionTrailingCrLf, nullptr},
    {"version", "=TEXT", "boot loader identification TEXT", nullptr,
     SetText<&Scenario::versionText, 120>},
    {"no-ready", "", "no ready byte after the identification", &Scenario::noReady, nullptr},
    {"ready", "=HH", "ready byte HH (hex) instead of \"!\"", nullptr, SetReady},
    {"ready-twice", "", "the ready byte arrives twice", &Scenario::readyTwice, nullptr},
    {"nak-page", "=K:M", "\"@\" for the first M frames of page K", nullptr, SetNakPage},
    {"page-reply", "=K:HH", "byte HH (hex) as the reply to page K", nullptr, SetPageReply},
    {"no-page-reply", "=K", "no reply to page K", nullptr, SetNoPageReply},
    {"drop-after-page", "=K", "the radio link dies after page K was accepted", nullptr,
     SetDropAfterPage},
    {"port-busy", "[=N]",
     "(in-process only) opening the port fails until\nreleased, or for the first N opens",
     &Scenario::portBusy, SetPortBusyOpens},
};

bool ParseItem(const std::string& item, Scenario& s) {
  const size_t equals = item.find('=');
  const std::string name = item.substr(0, equals);
  for (const FaultName& fault : kFaults) {
    if (name != fault.name)
      continue;
    if (equals == std::string::npos)
      return fault.flag && (s.*fault.flag = true);
    return fault.set && fault.set(item.substr(equals + 1), s);
  }
  return false;
}

}  // namespace

bool ParseScenario(const std::string& text, Scenario& scenario, std::string& error) {
  std::stringstream stream(text);
  std::string item;
  Scenario parsed = scenario;
  while (std::getline(stream, item, ',')) {
    if (!item.empty() && !ParseItem(item, parsed)) {
      error = "unknown fault or bad value: \"" + item + "\"";
      return false;
    }
  }
  scenario = parsed;
  return true;
}

std::string ScenarioHelp() {
  constexpr size_t kColumn = 25;
  std::string help;
  for (const FaultName& fault : kFaults) {
    std::string usage = std::string(fault.name) + fault.form;
    usage.resize(std::max(kColumn, usage.size() + 1), ' ');
    std::string text = fault.help;
    for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 3 + kColumn)
      text.insert(at + 1, std::string(2 + kColumn, ' '));
    help += "  " + usage + text + "\n";
  }
  return help;
}

}  // namespace sim
