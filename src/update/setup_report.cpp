#include "update/setup_report.h"

#include <cstring>

#include "update/link_protocol.h"
#include "update/setup_report_texts.h"

namespace {
const char* SkipBlanksAndSign(const char* text, bool* negative) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  *negative = *text == '-';
  if (*text == '+' || *text == '-')
    ++text;
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

constexpr SetupReport::Parameter kParameters[] = {
    SetupReport::Parameter::kModuleId, SetupReport::Parameter::kNetworkSerial,
    SetupReport::Parameter::kPanId, SetupReport::Parameter::kRfChannel};
}  // namespace

uint32_t ReadHexNumber(const char* text) {
  bool negative;
  text = SkipBlanksAndSign(text, &negative);
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X') && HexDigit(text[2]) >= 0)
    text += 2;
  uint64_t value = 0;
  for (int digit; (digit = HexDigit(*text)) >= 0; ++text) {
    value = value * 16 + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFu)
      value = 0xFFFFFFFFu;  // saturates as a 32-bit reader does
  }
  const auto result = static_cast<uint32_t>(value);
  return negative ? 0u - result : result;
}

int ReadDecimalNumber(const char* text) {
  bool negative;
  text = SkipBlanksAndSign(text, &negative);
  int64_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > 0x7FFFFFFF)
      value = 0x7FFFFFFF;
  }
  return static_cast<int>(negative ? -value : value);
}

void SetupReport::Begin() {
  if (port_)
    port_->WriteString(protocol::kReport);
}

void SetupReport::ReadWaiting(const LineEnded& lineEnded) {
  if (!port_)
    return;
  while (port_->BytesWaiting() != 0) {
    uint8_t byte;
    if (port_->Read(&byte, 1) != 1)
      break;
    const int before = lineLength_;
    TakeByte(byte, lineEnded);
    // A line of 100 characters without CR was dropped: the rest waits for the next call.
    if (byte != '\r' && before == static_cast<int>(sizeof line_) - 1)
      break;
  }
}

void SetupReport::SkipWaiting() {
  if (!port_)
    return;
  uint8_t bytes[64];
  for (uint32_t waiting; (waiting = port_->BytesWaiting()) != 0;) {
    const uint32_t count = port_->Read(bytes, waiting < sizeof bytes ? waiting : sizeof bytes);
    if (count == 0)
      break;
    bytesTaken_ += count;
  }
}

void SetupReport::TakeByte(uint8_t byte, const LineEnded& lineEnded) {
  ++bytesTaken_;
  line_[lineLength_] = static_cast<char>(byte);
  if (byte != '\r') {
    if (++lineLength_ == static_cast<int>(sizeof line_))
      lineLength_ = 0;
    return;
  }
  const Parameter* parameter = EndLine();
  lineLength_ = 0;
  if (lineEnded)
    lineEnded(parameter);
}

const SetupReport::Parameter* SetupReport::EndLine() {
  struct Field {
    const char* label;
    char* member;
    std::size_t size;  // including the NUL
  };
  const Field fields[] = {
      {setup_report_texts::kModuleIdLabel, moduleId_, sizeof moduleId_},
      {setup_report_texts::kNetworkSerialLabel, networkSerial_, sizeof networkSerial_},
      {setup_report_texts::kPanIdLabel, panId_, sizeof panId_},
      {setup_report_texts::kRfChannelLabel, rfChannel_, sizeof rfChannel_},
  };
  for (std::size_t i = 0; i < std::size(fields); ++i) {
    const Field& field = fields[i];
    if (std::memcmp(line_, field.label, setup_report_texts::kLabelLength) != 0)
      continue;
    line_[lineLength_] = '\0';
    const char* value = line_ + setup_report_texts::kLabelLength;
    // A line shorter than its label cannot match (its CR differs), so the value starts
    // inside the collected line.
    const std::size_t length = std::strlen(value);
    if (length < 1 || length > field.size - 1)
      return nullptr;
    std::memset(field.member, 0, field.size);
    std::memcpy(field.member, value, length + 1);
    received_ |= static_cast<uint8_t>(1u << i);
    if (observer_) {
      observer_->OnUpdateEvent(
          update_events::ParameterReceived{clock_.TickCount(), kParameters[i], field.member});
    }
    return &kParameters[i];
  }
  return nullptr;
}

const char* SetupReport::Value(Parameter parameter) const {
  switch (parameter) {
    case Parameter::kModuleId:
      return moduleId_;
    case Parameter::kNetworkSerial:
      return networkSerial_;
    case Parameter::kPanId:
      return panId_;
    case Parameter::kRfChannel:
      return rfChannel_;
  }
  return "";
}

ModuleReport SetupReport::Texts() const {
  return {moduleId_, networkSerial_, panId_, rfChannel_};
}

ModuleParameters SetupReport::Parameters() const {
  ModuleParameters module;
  std::memcpy(module.moduleIdField, moduleId_, sizeof module.moduleIdField);
  // "HHHHHHHH LLLLLLLL": each half read on its own, as far as it goes.
  char serial[sizeof networkSerial_];
  std::memcpy(serial, networkSerial_, sizeof serial);
  serial[8] = '\0';
  const uint32_t high = ReadHexNumber(serial);
  const uint32_t low = ReadHexNumber(serial + 9);
  const uint32_t pan = ReadHexNumber(panId_);
  for (int i = 0; i < 4; ++i) {
    module.serialHigh[i] = static_cast<uint8_t>(high >> (24 - 8 * i));
    module.serialLow[i] = static_cast<uint8_t>(low >> (24 - 8 * i));
  }
  module.panId[0] = static_cast<uint8_t>(pan >> 8);
  module.panId[1] = static_cast<uint8_t>(pan);
  module.channel = static_cast<uint8_t>(ReadDecimalNumber(rfChannel_));
  return module;
}
