#include "sim/scenario.h"

#include <cctype>
#include <sstream>

namespace sim {

namespace {

bool ParseUnsigned(const std::string& text, int base, uint64_t limit, uint64_t& value) {
  std::string digits = text;
  if (base == 16 && digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
    digits = digits.substr(2);
  if (digits.empty() || digits.size() > 10)
    return false;
  value = 0;
  for (char c : digits) {
    int digit;
    if (std::isdigit(static_cast<unsigned char>(c))) {
      digit = c - '0';
    } else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c))) {
      digit = std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
    } else {
      return false;
    }
    if (digit >= base)
      return false;
    value = value * base + digit;
  }
  return value <= limit;
}

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

bool ParseItem(const std::string& name, const std::string& value, bool hasValue, Scenario& s) {
  const std::vector<std::string> fields = Fields(value);
  uint64_t a = 0, b = 0;
  auto flag = [&](bool& target) {
    target = true;
    return !hasValue;
  };
  if (name == "silent-base")
    return flag(s.silentBase);
  if (name == "wrong-id")
    return flag(s.wrongIdentification);
  if (name == "short-id")
    return flag(s.shortIdentification);
  if (name == "bootloader-running")
    return flag(s.bootLoaderRunning);
  if (name == "report-crlf")
    return flag(s.reportCrLf);
  if (name == "report-long-values")
    return flag(s.reportLongValues);
  if (name == "report-unknown-labels")
    return flag(s.reportUnknownLabels);
  if (name == "report-150-no-cr")
    return flag(s.report150WithoutCr);
  if (name == "silent-bootloader")
    return flag(s.silentBootLoader);
  if (name == "version-leading-lf")
    return flag(s.versionLeadingLf);
  if (name == "version-trailing-crlf")
    return flag(s.versionTrailingCrLf);
  if (name == "no-ready")
    return flag(s.noReady);
  if (name == "port-busy") {
    if (!hasValue)
      return flag(s.portBusy);
    if (!ParseUnsigned(value, 10, 1000, a) || a == 0)
      return false;
    s.portBusyOpens = static_cast<int>(a);
    return true;
  }
  if (!hasValue)
    return false;
  if (name == "baud") {
    if (!ParseUnsigned(value, 10, 4000000, a) || a == 0)
      return false;
    s.baseBaud = static_cast<uint32_t>(a);
    return true;
  }
  if (name == "module-answers-id") {
    if (value.size() > 15)
      return false;
    s.answeredId = value;
    return true;
  }
  if (name == "version") {
    if (value.size() > 120)
      return false;
    s.versionText = value;
    return true;
  }
  if (name == "ready") {
    if (!ParseUnsigned(value, 16, 0xFF, a))
      return false;
    s.readyByte = static_cast<uint8_t>(a);
    return true;
  }
  if (name == "bad-status") {
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
    if (fields.size() == 3 && (!ParseUnsigned(fields[2], 10, 0xFF, status) || status == 0))
      return false;
    std::string parameter = fields[1];
    for (char& c : parameter) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    s.badStatus[{side, parameter}] = static_cast<uint8_t>(status);
    return true;
  }
  if (name == "nak-page" || name == "page-reply") {
    if (fields.size() != 2 || !ParseUnsigned(fields[0], 10, 0xFFFF, a))
      return false;
    if (name == "nak-page") {
      if (!ParseUnsigned(fields[1], 10, 1000, b) || b == 0)
        return false;
      s.nakPage[static_cast<uint16_t>(a)] = static_cast<int>(b);
    } else {
      if (!ParseUnsigned(fields[1], 16, 0xFF, b))
        return false;
      s.pageReply[static_cast<uint16_t>(a)] = static_cast<uint8_t>(b);
    }
    return true;
  }
  if (name == "no-page-reply" || name == "drop-after-page") {
    if (!ParseUnsigned(value, 10, 0xFFFF, a))
      return false;
    if (name == "no-page-reply") {
      s.noPageReply.push_back(static_cast<uint16_t>(a));
    } else {
      s.dropAfterPage = static_cast<uint16_t>(a);
    }
    return true;
  }
  return false;
}

}  // namespace

bool ParseScenario(const std::string& text, Scenario& scenario, std::string& error) {
  std::stringstream stream(text);
  std::string item;
  Scenario parsed = scenario;
  while (std::getline(stream, item, ',')) {
    if (item.empty())
      continue;
    const size_t equals = item.find('=');
    const std::string name = item.substr(0, equals);
    const bool hasValue = equals != std::string::npos;
    const std::string value = hasValue ? item.substr(equals + 1) : "";
    if (!ParseItem(name, value, hasValue, parsed)) {
      error = "unknown fault or bad value: \"" + item + "\"";
      return false;
    }
  }
  scenario = parsed;
  return true;
}

const char* ScenarioHelp() {
  return "  silent-base              the base station neither listens nor answers\n"
         "  wrong-id                 identification begins \"\\rKV-TSLK-99,\"\n"
         "  short-id                 identification of 17 bytes only\n"
         "  baud=N                   the base station's baud rate\n"
         "  bad-status=SIDE:NN[:S]   status S (default 1) for radio parameter NN;\n"
         "                           SIDE is base or module\n"
         "  module-answers-id=TEXT   the module answers \"I\" with TEXT\n"
         "  bootloader-running       the module waits in its boot loader already\n"
         "  report-crlf              Setup report lines end in CR LF\n"
         "  report-long-values       every Setup report value one character too long\n"
         "  report-unknown-labels    Setup report labels spelled differently\n"
         "  report-150-no-cr         150 characters without CR before the Setup report\n"
         "  silent-bootloader        the boot loader answers nothing\n"
         "  version-leading-lf       LF before the boot loader identification\n"
         "  version-trailing-crlf    CR LF after the boot loader identification\n"
         "  version=TEXT             boot loader identification TEXT\n"
         "  no-ready                 no ready byte after the identification\n"
         "  ready=HH                 ready byte HH (hex) instead of \"!\"\n"
         "  nak-page=K:M             \"@\" for the first M frames of page K\n"
         "  page-reply=K:HH          byte HH (hex) as the reply to page K\n"
         "  no-page-reply=K          no reply to page K\n"
         "  drop-after-page=K        the radio link dies after page K was accepted\n"
         "  port-busy[=N]            (in-process only) opening the port fails until\n"
         "                           released, or for the first N opens\n";
}

}  // namespace sim
