#include "sim/base_station.h"

namespace sim {

namespace {
constexpr uint8_t kEsc = 0x1B;
constexpr int kEscapesToEndRelay = 6;
const char* const kSource = "base station";

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}
}  // namespace

BaseStation::BaseStation(Timeline& timeline, Radio& radio, EventLog& log, const Scenario& scenario,
                         const Config& config, PcSink toPc)
    : timeline_(timeline),
      radio_(radio),
      log_(log),
      scenario_(scenario),
      config_(config),
      toPc_(std::move(toPc)) {}

bool BaseStation::Silent() const {
  return scenario_.silentBase ||
         (scenario_.baseStopsAfter > 0 &&
          commands_.size() >= static_cast<size_t>(scenario_.baseStopsAfter));
}

void BaseStation::FromPc(uint8_t byte) {
  if (Silent())
    return;
  if (relaying_) {
    RelayByte(byte);
  } else {
    CommandByte(byte);
  }
  anyPcByte_ = true;
  lastPcByteUs_ = timeline_.Now();
}

void BaseStation::ToPc(const std::vector<uint8_t>& bytes, uint64_t delayUs) {
  if (bytes.empty())
    return;
  if (delayUs == 0) {
    toPc_(bytes);
  } else {
    timeline_.After(delayUs, [this, bytes] { toPc_(bytes); });
  }
}

void BaseStation::Recognised(const std::string& command) {
  if (!ignored_.empty()) {
    log_.Add(kSource, "ignores " + Printable(ignored_));
    ignored_.clear();
  }
  commands_.push_back(command);
  log_.Add(kSource, command);
  if (commandHook_)
    commandHook_(command);
}

void BaseStation::Reset() {
  stage_ = Stage::kIdle;
  field_.clear();
  length_ = 0;
  lengthDigits_ = 0;
}

void BaseStation::Reject(uint8_t byte) {
  ignored_.push_back(byte);
  Reset();
  if (byte == '<')
    stage_ = Stage::kCommand;
}

void BaseStation::CommandByte(uint8_t byte) {
  if (byte == kEsc) {  // harmless here: it only abandons a half-received command
    Reset();
    return;
  }
  bool fits = false;
  switch (stage_) {
    case Stage::kIdle:
      fits = byte == '<';
      if (fits)
        stage_ = Stage::kCommand;
      break;
    case Stage::kCommand:
      fits = CommandLetter(byte);
      break;
    case Stage::kRelayKind:
      fits = RelayCommand(byte);
      break;
    default:
      fits = RadioCommandByte(byte);
  }
  if (!fits)
    Reject(byte);
}

bool BaseStation::CommandLetter(uint8_t byte) {
  switch (byte) {
    case 'V':
      Recognised("<V");
      Reset();
      Identify();
      return true;
    case 'W':
      Recognised("<W");
      Reset();
      reportMode_ = false;
      if (releaseHook_)
        releaseHook_();
      return true;
    case 'R':
      stage_ = Stage::kRelayKind;
      return true;
    case '@':
      stage_ = Stage::kColon;
      return true;
    default:
      return false;
  }
}

void BaseStation::Identify() {
  std::string reply = scenario_.wrongIdentification ? "\rKV-TSLK-99," : "\rKV-TSLK-00,";
  std::string tail = config_.versionTail;
  tail.resize(6, ' ');
  reply += tail;
  if (scenario_.shortIdentification)
    reply.pop_back();
  ToPc(Bytes(reply), config_.turnaroundUs);
}

bool BaseStation::RelayCommand(uint8_t byte) {
  switch (byte) {
    case 'P':
      Recognised("<RP");
      Reset();
      relaying_ = true;
      reportMode_ = false;
      heldEscapes_ = 0;
      awaitedResponses_.clear();
      return true;
    case 'S':
      Recognised("<RS");
      Reset();
      if (!reportMode_) {
        reportMode_ = true;
        if (reportModeHook_)
          reportModeHook_();
      }
      return true;
    case 'N':
      Recognised("<RN");
      Reset();
      reportMode_ = false;
      return true;
    default:
      return false;
  }
}

// "<@:S" + n + n bytes, "<@:I" + two letters, "<@:P" + six bytes of module ID + n + n bytes.
bool BaseStation::RadioCommandByte(uint8_t byte) {
  switch (stage_) {
    case Stage::kColon:
      stage_ = Stage::kRadioKind;
      return byte == ':';
    case Stage::kRadioKind:
      radioKind_ = static_cast<char>(byte);
      if (byte == 'S') {
        stage_ = Stage::kLength;
      } else if (byte == 'P') {
        stage_ = Stage::kModuleId;
      } else if (byte == 'I') {
        stage_ = Stage::kName;
      } else {
        return false;
      }
      return true;
    case Stage::kModuleId:
      field_.push_back(byte);
      if (field_.size() == 6) {
        moduleId_ = field_;
        field_.clear();
        stage_ = Stage::kLength;
      }
      return true;
    case Stage::kLength:
      return LengthDigit(byte);
    case Stage::kName:
      field_.push_back(byte);
      if (field_.size() == 2)
        ReadParameter();
      return true;
    case Stage::kBody:
      field_.push_back(byte);
      if (field_.size() == length_ && radioKind_ == 'S') {
        SetParameter();
      } else if (field_.size() == length_) {
        PassToModule();
      }
      return true;
    default:
      return false;
  }
}

bool BaseStation::LengthDigit(uint8_t byte) {
  if (byte < '0' || byte > '9')
    return false;
  length_ = length_ * 10 + (byte - '0');
  if (++lengthDigits_ < 2)
    return true;
  if (length_ == 0 || (radioKind_ == 'S' && length_ < 2))
    return false;
  stage_ = Stage::kBody;
  return true;
}

void BaseStation::ReadParameter() {
  const std::string name(field_.begin(), field_.end());
  Recognised("<@:I " + name);
  SendFrame({frame::kParameterCommand, nextFrameId_, field_[0], field_[1]}, true);
  Reset();
}

void BaseStation::SetParameter() {
  const std::string name(field_.begin(), field_.begin() + 2);
  Recognised("<@:S " + name + "=" + Printable(field_.data() + 2, field_.size() - 2));
  std::vector<uint8_t> data{frame::kParameterCommand, nextFrameId_};
  Append(data, field_);
  SendFrame(data, true);
  Reset();
}

void BaseStation::PassToModule() {
  std::string id = Printable(moduleId_);
  while (id.size() >= 4 && id.compare(id.size() - 4, 4, "\\x00") == 0) id.resize(id.size() - 4);
  Recognised("<@:P " + id + " " + Printable(field_));
  // The module is found by its ID, not by its radio address: the packet is broadcast on the
  // radio's network and only the module with that ID acts on it.
  std::vector<uint8_t> data{frame::kTransmit64, 0};
  PutBigEndian(data, frame::kBroadcast, 8);
  data.push_back(0x00);
  data.push_back('P');
  Append(data, moduleId_);
  Append(data, field_);
  SendFrame(data, false);
  Reset();
}

void BaseStation::SendFrame(const std::vector<uint8_t>& data, bool expectResponse) {
  if (expectResponse) {
    awaitedResponses_.insert(data[1]);
    nextFrameId_ = nextFrameId_ == 0xFF ? 1 : nextFrameId_ + 1;
  }
  radio_.FromHost(EncodeFrame(data, true), expectResponse);
}

void BaseStation::RelayByte(uint8_t byte) {
  const uint64_t now = timeline_.Now();
  const bool quietBefore = !anyPcByte_ || now - lastPcByteUs_ >= config_.escapeGuardUs;
  // An ESC run that starts after a quiet spell is held back: six of them end the relay, fewer
  // go on to the radio. ESC bytes in the middle of other data are data.
  if (byte == kEsc && (heldEscapes_ > 0 || quietBefore)) {
    if (++heldEscapes_ == kEscapesToEndRelay) {
      heldEscapes_ = 0;
      ++escapeToken_;
      relaying_ = false;
      fromRadio_ = FrameDecoder(true);
      Reset();
      Recognised("ESC");
      return;
    }
    const uint64_t token = ++escapeToken_;
    timeline_.After(config_.escapeGuardUs, [this, token] {
      if (token == escapeToken_ && relaying_)
        ReleaseHeldEscapes();
    });
    return;
  }
  ReleaseHeldEscapes();
  radio_.FromHost(byte);
}

void BaseStation::ReleaseHeldEscapes() {
  ++escapeToken_;
  for (; heldEscapes_ > 0; --heldEscapes_) radio_.FromHost(kEsc);
}

void BaseStation::FromRadio(const std::vector<uint8_t>& bytes) {
  if (Silent())
    return;
  if (relaying_) {
    ToPc(bytes, 0);
    return;
  }
  for (uint8_t byte : bytes)
    if (auto data = fromRadio_.Feed(byte))
      FrameFromRadio(*data);
}

void BaseStation::FrameFromRadio(const std::vector<uint8_t>& data) {
  if (data[0] == frame::kParameterResponse && data.size() >= 5) {
    if (awaitedResponses_.erase(data[1]) == 0)
      return;
    ToPc(EncodeFrame(data, false), config_.turnaroundUs);
    return;
  }
  if (data[0] != frame::kReceive64 || data.size() < 12)
    return;
  const std::vector<uint8_t> payload(data.begin() + 12, data.end());
  if (data[11] == 'R') {
    ToPc(payload, config_.turnaroundUs);
  } else if (data[11] == 'S') {
    if (reportMode_) {
      ToPc(payload, config_.turnaroundUs);
      if (reportHeardHook_)
        reportHeardHook_(GetBigEndian(&data[1], 8));
    } else {
      log_.Add(kSource, "not in report mode: drops Setup report line");
    }
  }
}

}  // namespace sim
