#include "sim/radio.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

namespace sim {

namespace {

struct ParameterInfo {
  const char* name;
  size_t size;
  bool readOnly;
};

constexpr ParameterInfo kParameters[] = {
    {"ID", 2, false}, {"CH", 1, false}, {"AP", 1, false}, {"DH", 4, false},
    {"DL", 4, false}, {"SH", 4, true},  {"SL", 4, true},
};

const ParameterInfo* FindParameter(const std::string& name) {
  for (const auto& info : kParameters)
    if (name == info.name)
      return &info;
  return nullptr;
}

// The channels of the 2.4 GHz band the radio can use.
constexpr uint8_t kLowestChannel = 0x0B;
constexpr uint8_t kHighestChannel = 0x1A;

uint64_t CurrentValue(const std::string& name, const RadioState& state) {
  if (name == "ID")
    return state.panId;
  if (name == "CH")
    return state.channel;
  if (name == "AP")
    return state.frameMode;
  if (name == "DH")
    return state.destinationHigh;
  if (name == "DL")
    return state.destinationLow;
  if (name == "SH")
    return state.serialHigh;
  return state.serialLow;
}

std::vector<uint8_t> Text(const char* text) {
  std::vector<uint8_t> bytes;
  while (*text) bytes.push_back(static_cast<uint8_t>(*text++));
  return bytes;
}

std::string LostInDeadLink(const AirPacket& packet) {
  return "sends " + std::to_string(packet.data.size()) + " bytes into a dead link: lost";
}

}  // namespace

bool Air::InReach(const Radio* radio) const {
  return std::find(radios_.begin(), radios_.end(), radio) != radios_.end();
}

bool Air::Dead(const Radio& radio) const {
  return std::find(dead_.begin(), dead_.end(), &radio) != dead_.end();
}

void Air::Detach(const Radio* radio) {
  radios_.erase(std::remove(radios_.begin(), radios_.end(), radio), radios_.end());
}

void Air::Transmit(const Radio& sender, const AirPacket& packet) {
  if (!InReach(&sender))
    return;
  if (Dead(sender)) {
    log_.Add(sender.Name(), LostInDeadLink(packet));
    return;
  }
  const uint64_t arrivalUs = SentUs(packet) + hopLatencyUs_;
  for (Radio* radio : radios_) {
    if (radio == &sender)
      continue;
    timeline_.At(arrivalUs, [this, radio, packet, name = sender.Name()] {
      if (!InReach(radio) || !radio->Hears(packet))
        return;
      if (Dead(*radio)) {
        log_.Add(name, LostInDeadLink(packet));
        return;
      }
      radio->FromAir(packet);
    });
  }
}

void Air::ShareAirTime(uint32_t bitsPerSecond) {
  shared_ = true;
  bitsPerSecond_ = bitsPerSecond;
}

uint64_t Air::SentUs(const AirPacket& packet) {
  const uint64_t now = timeline_.Now();
  if (bitsPerSecond_ == 0)
    return now;
  const uint64_t bits = (packet.data.size() + kPacketOverhead) * 8;
  uint64_t& free = channelFreeUs_[packet.channel];
  free = std::max(free, now) + (bits * 1'000'000 + bitsPerSecond_ - 1) / bitsPerSecond_;
  return free;
}

void Air::GoDead(const Radio& radio) {
  dead_.push_back(&radio);
  log_.Add("air", "the radio link drops");
}

Radio::Radio(std::string name, Side side, Timeline& timeline, Air& air, EventLog& log,
             const Scenario& scenario, const RadioState& initial, const Timing& timing)
    : name_(std::move(name)),
      side_(side),
      timeline_(timeline),
      air_(air),
      log_(log),
      scenario_(scenario),
      state_(initial),
      pending_(initial),
      timing_(timing),
      decoder_(initial.frameMode == 2) {}

void Radio::ToHost(const std::vector<uint8_t>& bytes) {
  if (hostSink_ && !bytes.empty())
    hostSink_(bytes);
}

void Radio::FromHost(const std::vector<uint8_t>& bytes, bool hostCommand) {
  hostCommand_ = hostCommand;
  for (uint8_t byte : bytes) FromHost(byte);
  hostCommand_ = false;
}

void Radio::FromHost(uint8_t byte) {
  if (state_.commandMode) {
    anyHostByte_ = true;
    lastHostByteUs_ = timeline_.Now();
    CommandByte(byte);
    return;
  }
  if (state_.frameMode == 0) {
    TransparentByte(byte);
    return;
  }
  anyHostByte_ = true;
  lastHostByteUs_ = timeline_.Now();
  if (auto data = decoder_.Feed(byte))
    FrameFromHost(*data);
}

void Radio::TransparentByte(uint8_t byte) {
  const uint64_t now = timeline_.Now();
  const bool quietBefore = !anyHostByte_ || now - lastHostByteUs_ >= timing_.guardUs;
  anyHostByte_ = true;
  lastHostByteUs_ = now;
  // "+" characters are held back while they may still be the command mode sequence.
  if (byte == '+' && heldPluses_ > 0 && heldPluses_ < 3 && !quietBefore) {
    ++heldPluses_;
  } else if (byte == '+' && quietBefore) {
    ReleaseHeldPluses();
    heldPluses_ = 1;
  } else {
    ReleaseHeldPluses();
    QueueForAir(byte);
    return;
  }
  if (heldPluses_ < 3)
    return;
  const uint64_t token = ++plusToken_;
  timeline_.After(timing_.guardUs, [this, token] {
    if (token != plusToken_ || heldPluses_ != 3)
      return;
    heldPluses_ = 0;
    Flush();
    pending_ = state_;
    state_.commandMode = true;
    pending_.commandMode = true;
    log_.Add(name_, "enters command mode");
    ToHost(Text("OK\r"));
    ArmCommandTimeout();
  });
}

void Radio::ReleaseHeldPluses() {
  ++plusToken_;
  const int held = heldPluses_;
  heldPluses_ = 0;
  for (int i = 0; i < held; ++i) QueueForAir('+');
}

void Radio::QueueForAir(uint8_t byte) {
  airBuffer_.push_back(byte);
  if (airBuffer_.size() >= timing_.maxPacket) {
    Flush();
    return;
  }
  const uint64_t token = ++flushToken_;
  timeline_.After(timing_.packetGapUs, [this, token] {
    if (token == flushToken_)
      Flush();
  });
}

void Radio::Flush() {
  ++flushToken_;
  if (airBuffer_.empty())
    return;
  AirPacket packet{state_.Address(), state_.Destination(), state_.panId, state_.channel,
                   std::move(airBuffer_)};
  airBuffer_.clear();
  air_.Transmit(*this, packet);
}

bool Radio::Hears(const AirPacket& packet) const {
  if (state_.frameMode == 0 && packet.destination == frame::kBroadcast &&
      !air_.BroadcastsReachRelays())
    return false;
  return packet.panId == state_.panId && packet.channel == state_.channel &&
         packet.source != state_.Address() &&
         (packet.destination == frame::kBroadcast || packet.destination == state_.Address());
}

void Radio::FromAir(const AirPacket& packet) {
  if (state_.frameMode == 0) {
    ToHost(packet.data);
    return;
  }
  std::vector<uint8_t> data{frame::kReceive64};
  PutBigEndian(data, packet.source, 8);
  data.push_back(0x28);  // signal strength, -40 dBm
  data.push_back(packet.destination == frame::kBroadcast ? 0x02 : 0x00);
  Append(data, packet.data);
  ToHost(EncodeFrame(data, state_.frameMode == 2));
}

uint8_t Radio::Parameter(const std::string& name, const std::vector<uint8_t>& setValue, bool isSet,
                         RadioState& target, std::vector<uint8_t>& value) {
  if (hostCommand_) {
    auto fault = scenario_.badStatus.find({side_, name});
    if (fault != scenario_.badStatus.end())
      return fault->second;
  }
  const ParameterInfo* info = FindParameter(name);
  if (!info)
    return frame::kInvalidCommand;
  if (!isSet) {
    value.clear();
    PutBigEndian(value, CurrentValue(name, state_), static_cast<int>(info->size));
    return frame::kOk;
  }
  if (info->readOnly)
    return frame::kError;
  if (setValue.empty() || setValue.size() > info->size)
    return frame::kInvalidParameter;
  const uint64_t number = GetBigEndian(setValue.data(), static_cast<int>(setValue.size()));
  if (name == "CH") {
    if (number < kLowestChannel || number > kHighestChannel)
      return frame::kInvalidParameter;
    target.channel = static_cast<uint8_t>(number);
  } else if (name == "AP") {
    if (number > 2)
      return frame::kInvalidParameter;
    target.frameMode = static_cast<uint8_t>(number);
  } else if (name == "ID") {
    target.panId = static_cast<uint16_t>(number);
  } else if (name == "DH") {
    target.destinationHigh = static_cast<uint32_t>(number);
  } else {
    target.destinationLow = static_cast<uint32_t>(number);
  }
  return frame::kOk;
}

void Radio::FrameFromHost(const std::vector<uint8_t>& data) {
  const bool escaped = state_.frameMode == 2;
  if (data[0] == frame::kParameterCommand && data.size() >= 4) {
    const uint8_t id = data[1];
    const std::string name{static_cast<char>(data[2]), static_cast<char>(data[3])};
    const std::vector<uint8_t> setValue(data.begin() + 4, data.end());
    std::vector<uint8_t> value;
    const bool isSet = !setValue.empty();
    const uint8_t status = Parameter(name, setValue, isSet, state_, value);
    SetFrameMode(state_.frameMode);
    std::string text = "frame " + name;
    if (isSet)
      text.append("=").append(Printable(setValue));
    log_.Add(name_, text.append(": status ").append(std::to_string(status)));
    if (id == 0)
      return;
    std::vector<uint8_t> response{frame::kParameterResponse, id, data[2], data[3], status};
    if (status == frame::kOk && !isSet)
      Append(response, value);
    ToHost(EncodeFrame(response, escaped));
    return;
  }
  if (data[0] == frame::kTransmit64 && data.size() >= 11) {
    const uint8_t id = data[1];
    AirPacket packet{state_.Address(), GetBigEndian(&data[2], 8), state_.panId, state_.channel,
                     std::vector<uint8_t>(data.begin() + 11, data.end())};
    air_.Transmit(*this, packet);
    if (id != 0)
      ToHost(EncodeFrame({frame::kTransmitStatus, id, frame::kOk}, escaped));
    return;
  }
  log_.Add(name_, "ignores a frame of type " + Hex(data[0], 2));
}

void Radio::SetFrameMode(uint8_t mode) {
  state_.frameMode = mode;
  decoder_.SetEscaped(mode == 2);
}

void Radio::CommandByte(uint8_t byte) {
  ArmCommandTimeout();
  if (byte == '\r') {
    std::string line;
    line.swap(commandLine_);
    CommandLine(line);
  } else if (commandLine_.size() < 64) {
    commandLine_ += static_cast<char>(std::toupper(byte));
  }
}

void Radio::CommandLine(const std::string& rawLine) {
  std::string line;
  for (char c : rawLine)
    if (c != ' ')
      line += c;
  log_.Add(name_, "command " + line);
  auto answer = [this](const char* text) { ToHost(Text(text)); };
  if (line.compare(0, 2, "AT") != 0)
    return answer("ERROR\r");
  const std::string name = line.substr(2, 2);
  const std::string argument = line.size() > 4 ? line.substr(4) : "";
  if (name.empty())
    return answer("OK\r");
  if (name == "CN") {
    answer("OK\r");
    return LeaveCommandMode(true);
  }
  if (name == "AC") {
    const RadioState applied = pending_;
    SetFrameMode(applied.frameMode);
    state_ = applied;
    return answer("OK\r");
  }
  if (name == "WR")
    return answer("OK\r");
  std::vector<uint8_t> value;
  if (argument.empty()) {
    if (Parameter(name, {}, false, pending_, value) != frame::kOk)
      return answer("ERROR\r");
    const uint64_t number = GetBigEndian(value.data(), static_cast<int>(value.size()));
    char text[24];
    std::snprintf(text, sizeof text, "%llX\r", static_cast<unsigned long long>(number));
    return answer(text);
  }
  if (argument.size() > 8 || argument.find_first_not_of("0123456789ABCDEF") != std::string::npos)
    return answer("ERROR\r");
  uint64_t number = std::stoull(argument, nullptr, 16);
  std::vector<uint8_t> setValue;
  do {
    setValue.insert(setValue.begin(), static_cast<uint8_t>(number & 0xFF));
    number >>= 8;
  } while (number != 0);
  answer(Parameter(name, setValue, true, pending_, value) == frame::kOk ? "OK\r" : "ERROR\r");
}

void Radio::LeaveCommandMode(bool apply) {
  ++commandToken_;
  if (apply) {
    const RadioState applied = pending_;
    state_ = applied;
    SetFrameMode(applied.frameMode);
  }
  state_.commandMode = false;
  pending_.commandMode = false;
  commandLine_.clear();
  log_.Add(name_, apply ? "leaves command mode" : "leaves command mode unused, changes dropped");
}

void Radio::ArmCommandTimeout() {
  const uint64_t token = ++commandToken_;
  timeline_.After(timing_.commandTimeoutUs, [this, token] {
    if (token == commandToken_ && state_.commandMode)
      LeaveCommandMode(false);
  });
}

void Radio::Tune(uint16_t panId, uint8_t channel, uint8_t frameMode) {
  Flush();
  state_.panId = panId;
  state_.channel = channel;
  SetFrameMode(frameMode);
}

void Radio::SetDestination(uint64_t destination) {
  state_.destinationHigh = static_cast<uint32_t>(destination >> 32);
  state_.destinationLow = static_cast<uint32_t>(destination);
}

}  // namespace sim
