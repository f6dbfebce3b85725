#include "sim/module.h"

#include <cstdio>

namespace sim {

namespace {
const char* const kSource = "module";

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

bool StartsWith(const std::vector<uint8_t>& bytes, const char* text) {
  const std::string prefix(text);
  return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}
}  // namespace

Module::Module(Timeline& timeline, Radio& radio, Air& air, EventLog& log, const Scenario& scenario,
               const ModuleParams& params, const Config& config)
    : timeline_(timeline),
      radio_(radio),
      log_(log),
      scenario_(scenario),
      params_(params),
      config_(config),
      bootLoader_(timeline, radio, air, log, scenario, config.bootLoader,
                  [this] { timeline_.After(config_.restartUs, [this] { RunApplication(); }); }) {}

void Module::StartInBootLoader(uint64_t baseStationAddress) {
  state_ = ModuleState::kBootLoader;
  radio_.SetDestination(baseStationAddress);
  radio_.Tune(kBootLoaderPanId, kBootLoaderChannel, 0);
  decoder_ = FrameDecoder(true);
  bootLoader_.Start();
}

void Module::StartBootLoader() {
  state_ = ModuleState::kBootLoader;
  log_.Add(kSource, "leaves its application for the boot loader");
  timeline_.After(config_.bootStartUs, [this] {
    // The boot loader talks through the radio transparently, to the destination the
    // application was given.
    radio_.Tune(kBootLoaderPanId, kBootLoaderChannel, 0);
    bootLoader_.Start();
  });
}

void Module::RunApplication() {
  bootLoader_.Stop();
  state_ = ModuleState::kApplication;
  radio_.Tune(params_.panId, params_.channel, 2);
  decoder_ = FrameDecoder(true);
  log_.Add(kSource, "runs its application");
}

void Module::FromRadio(const std::vector<uint8_t>& bytes) {
  if (state_ == ModuleState::kBootLoader) {
    bootLoader_.FromRadio(bytes);
    return;
  }
  for (uint8_t byte : bytes)
    if (auto data = decoder_.Feed(byte))
      FrameFromRadio(*data);
}

void Module::FrameFromRadio(const std::vector<uint8_t>& data) {
  if (data[0] == frame::kParameterResponse && data.size() >= 5) {
    auto asked = replyTo_.find(data[1]);
    if (asked == replyTo_.end())
      return;
    const uint64_t sender = asked->second;
    replyTo_.erase(asked);
    Send(sender, 'R', EncodeFrame(data, false));
    return;
  }
  if (data[0] != frame::kReceive64 || data.size() < 12 || data[11] != 'P')
    return;
  const uint64_t sender = GetBigEndian(&data[1], 8);
  const std::vector<uint8_t> packet(data.begin() + 12, data.end());
  if (packet.size() < 6)
    return;
  std::vector<uint8_t> ownId = Bytes(params_.moduleId);
  ownId.resize(6, 0);
  if (!std::equal(ownId.begin(), ownId.end(), packet.begin()))
    return;  // for another module
  const std::vector<uint8_t> command(packet.begin() + 6, packet.end());
  if (state_ != ModuleState::kSetup) {
    log_.Add(kSource, "not in Setup mode: ignores " + Printable(command));
    return;
  }
  Command(sender, command);
}

void Module::Command(uint64_t sender, const std::vector<uint8_t>& command) {
  log_.Add(kSource, "command " + Printable(command));
  if (commandHook_)
    commandHook_(sender);
  if (command.size() == 1 && command[0] == 'I') {
    Send(sender, 'R', Bytes(scenario_.answeredId.value_or(params_.moduleId) + "\r"));
    return;
  }
  if (StartsWith(command, "#:C") && command.size() >= 7 && isdigit(command[3]) &&
      isdigit(command[4])) {
    // "#:C" + n + n bytes: a parameter name and its value for the module's own radio.
    const size_t length = static_cast<size_t>((command[3] - '0') * 10 + (command[4] - '0'));
    if (command.size() != 5 + length) {
      log_.Add(kSource, "length does not match: ignored");
      return;
    }
    std::vector<uint8_t> data{frame::kParameterCommand, nextFrameId_};
    Append(data, command.data() + 5, command.size() - 5);
    replyTo_[nextFrameId_] = sender;
    nextFrameId_ = nextFrameId_ == 0xFF ? 1 : nextFrameId_ + 1;
    timeline_.After(config_.turnaroundUs,
                    [this, data] { radio_.FromHost(EncodeFrame(data, true), true); });
    return;
  }
  if (command.size() == 3 && StartsWith(command, "#:Z")) {
    StartBootLoader();
    return;
  }
  log_.Add(kSource, "unknown command ignored");
}

void Module::Send(uint64_t destination, char kind, const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> data{frame::kTransmit64, 0};
  PutBigEndian(data, destination, 8);
  data.push_back(0x00);
  data.push_back(static_cast<uint8_t>(kind));
  Append(data, bytes);
  timeline_.After(config_.turnaroundUs, [this, data] { radio_.FromHost(EncodeFrame(data, true)); });
}

std::vector<std::string> Module::ReportLines() const {
  const bool longValues = scenario_.reportLongValues;
  auto value = [longValues](std::string text, size_t limit) {
    // One character more than the report reader accepts.
    if (longValues)
      text.insert(0, limit + 1 - std::min(text.size(), limit), '0');
    return text;
  };
  char serial[20], pan[8], channel[8];
  std::snprintf(serial, sizeof serial, "%08X %08X", params_.serialHigh, params_.serialLow);
  std::snprintf(pan, sizeof pan, "%04X", params_.panId);
  std::snprintf(channel, sizeof channel, "%u", params_.channel);
  const bool unknown = scenario_.reportUnknownLabels;
  const std::string end = scenario_.reportCrLf ? "\r\n" : "\r";
  std::vector<std::string> lines;
  if (scenario_.report150WithoutCr) {
    std::string noise;
    while (noise.size() < 150) noise += "0123456789";
    lines.push_back(noise.substr(0, 150));
  }
  lines.push_back("Quorvanta Mobile Module - Setup Mode" + end);
  lines.push_back("  Firmware Version......  3.04" + end);
  lines.push_back(
      std::string(unknown ? "  Module Number.........  " : "  Module ID.............  ") +
      value(params_.moduleId, 6) + end);
  lines.push_back(
      std::string(unknown ? "  Network Serial........  " : "  Network S/N...........  ") +
      value(serial, 17) + end);
  lines.push_back(
      std::string(unknown ? "  PAN Address...........  " : "  PAN ID................  ") +
      value(pan, 4) + end);
  lines.push_back(
      std::string(unknown ? "  Radio Channel.........  " : "  RF Channel............  ") +
      value(channel, 2) + end);
  lines.push_back("  Battery...............  3.61 V" + end);
  return lines;
}

void Module::PressSetupButton() {
  if (state_ == ModuleState::kBootLoader) {
    log_.Add(kSource, "Setup button: ignored by the boot loader");
    return;
  }
  if (reporting_)
    return;
  if (state_ == ModuleState::kApplication) {
    state_ = ModuleState::kSetup;
    log_.Add(kSource, "enters Setup mode");
  }
  log_.Add(kSource, "Setup button: sends its Setup report");
  // The report is broadcast on the boot loader network, where a base station that expects it
  // listens; afterwards the radio goes back to the module's own network.
  reporting_ = true;
  reported_ = true;
  radio_.Tune(kBootLoaderPanId, kBootLoaderChannel, 2);
  uint64_t delay = config_.reportLineGapUs;
  for (const std::string& line : ReportLines()) {
    timeline_.After(delay, [this, line] {
      std::vector<uint8_t> data{frame::kTransmit64, 0};
      PutBigEndian(data, frame::kBroadcast, 8);
      data.push_back(0x00);
      data.push_back('S');
      Append(data, line);
      radio_.FromHost(EncodeFrame(data, true));
    });
    delay += config_.reportLineGapUs;
  }
  timeline_.After(delay, [this] {
    reporting_ = false;
    if (state_ == ModuleState::kSetup)
      radio_.Tune(params_.panId, params_.channel, 2);
  });
}

}  // namespace sim
