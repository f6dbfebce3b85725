#include "sim/devices.h"

#include <algorithm>

#include "sim/base_station.h"

namespace sim {

namespace {
const char* const kSource = "serial line";

std::string Describe(const LineSettings& settings) {
  static const char kParity[] = {'N', 'E', 'O', 'M', 'S'};
  return std::to_string(settings.baud) + " baud, " + std::to_string(settings.dataBits) +
         kParity[static_cast<int>(settings.parity)] +
         (settings.stopBits == StopBits::kTwo ? "2" : "1");
}
}  // namespace

Devices::Devices(const ModuleParams& module, const Scenario& scenario, const Options& options)
    : scenario_(scenario),
      moduleParams_(module),
      options_(options),
      baseBaud_(scenario.baseBaud != 0 ? scenario.baseBaud : options.baseBaud),
      air_(timeline_, log_, Ms(options.hopLatencyMs)) {
  if (moduleParams_.moduleId.size() > 6)
    moduleParams_.moduleId.resize(6);
  Radio::Timing timing;
  timing.guardUs = Ms(options_.radioGuardMs);
  // A radio sends what it has collected once the serial line has been quiet for three
  // character times.
  timing.packetGapUs = (30'000'000 + baseBaud_ - 1) / baseBaud_;

  RadioState base;
  base.frameMode = 2;
  base.panId = options_.basePanId;
  base.channel = options_.baseChannel;
  base.serialHigh = options_.baseSerialHigh;
  base.serialLow = options_.baseSerialLow;
  base.destinationHigh = 0;
  base.destinationLow = 0xFFFF;
  RadioState moduleRadio;
  moduleRadio.frameMode = 2;
  moduleRadio.panId = moduleParams_.panId;
  moduleRadio.channel = moduleParams_.channel;
  moduleRadio.serialHigh = moduleParams_.serialHigh;
  moduleRadio.serialLow = moduleParams_.serialLow;

  baseRadio_ = std::make_unique<Radio>("base radio", Side::kBase, timeline_, air_, log_, scenario_,
                                       base, timing);
  moduleRadio_ = std::make_unique<Radio>("module radio", Side::kModule, timeline_, air_, log_,
                                         scenario_, moduleRadio, timing);

  BaseStation::Config baseConfig;
  baseConfig.versionTail = options_.baseVersion;
  baseConfig.turnaroundUs = Ms(options_.turnaroundMs);
  baseConfig.escapeGuardUs = Ms(options_.escapeGuardMs);
  base_ = std::make_unique<BaseStation>(timeline_, *baseRadio_, log_, scenario_, baseConfig,
                                        [this](const std::vector<uint8_t>& bytes) { ToPc(bytes); });
  baseRadio_->SetHostSink([this](const std::vector<uint8_t>& bytes) { base_->FromRadio(bytes); });

  Module::Config moduleConfig;
  moduleConfig.turnaroundUs = Ms(options_.turnaroundMs);
  moduleConfig.bootStartUs = Ms(options_.bootStartMs);
  moduleConfig.reportLineGapUs = Ms(options_.reportLineGapMs);
  moduleConfig.bootLoader.turnaroundUs = Ms(options_.turnaroundMs);
  moduleConfig.bootLoader.pageWriteUs = Ms(options_.pageWriteMs);
  moduleConfig.bootLoader.frameGapUs = Ms(options_.frameGapMs);
  module_ = std::make_unique<Module>(timeline_, *moduleRadio_, air_, log_, scenario_, moduleParams_,
                                     moduleConfig);
  moduleRadio_->SetHostSink(
      [this](const std::vector<uint8_t>& bytes) { module_->FromRadio(bytes); });

  if (options_.pressSetupAfterReportModeMs >= 0) {
    base_->SetReportModeHook([this] {
      timeline_.After(Ms(static_cast<uint64_t>(options_.pressSetupAfterReportModeMs)),
                      [this] { module_->PressSetupButton(); });
    });
  }
  if (scenario_.bootLoaderRunning) {
    // As an interrupted update leaves them: the module in its boot loader talking to the base
    // station's radio, and the base station's radio pointed at the module.
    module_->StartInBootLoader(baseRadio_->State().Address());
    baseRadio_->SetDestination(moduleRadio_->State().Address());
  }
}

Devices::~Devices() = default;

uint64_t Devices::Internal(uint32_t now) {
  if (!clockStarted_) {
    clockStarted_ = true;
    lastExternal_ = now;
  }
  const uint32_t passed = now - lastExternal_;
  if (passed < 0x80000000u) {
    internalTicks_ += passed;
    lastExternal_ = now;
  }
  return internalTicks_ * options_.tickUs;
}

uint64_t Devices::ByteTimeUs() const {
  return (10'000'000 + baseBaud_ - 1) / baseBaud_;
}

void Devices::AdvanceTo(uint32_t now) {
  timeline_.RunUntil(Internal(now));
}

void Devices::PcOpened(const LineSettings& settings, uint32_t now) {
  AdvanceTo(now);
  if (pcOpen_)
    PcClosed(now);
  pcOpen_ = true;
  understood_ = settings.baud == baseBaud_ && settings.dataBits == 8 &&
                settings.parity == Parity::kNone && settings.stopBits == StopBits::kOne;
  sessions_.push_back(PcSession{settings, understood_, {}});
  log_.Add(kSource, "PC opens the port at " + Describe(settings) +
                        (understood_ ? "" : ": the base station cannot make it out"));
}

void Devices::PcClosed(uint32_t now) {
  AdvanceTo(now);
  if (!pcOpen_)
    return;
  pcOpen_ = false;
  toPc_.clear();
  log_.Add(kSource, "PC closes the port");
}

void Devices::FromPc(const uint8_t* data, size_t length, uint32_t now) {
  AdvanceTo(now);
  if (!pcOpen_ || length == 0)
    return;
  sessions_.back().written.insert(sessions_.back().written.end(), data, data + length);
  if (!understood_)
    return;  // garbled on the wire: the base station sees only line errors
  baseReceived_.insert(baseReceived_.end(), data, data + length);
  const uint64_t nowUs = timeline_.Now();
  if (!options_.emulateWireTime) {
    std::vector<uint8_t> bytes(data, data + length);
    timeline_.At(nowUs, [this, bytes] {
      for (uint8_t byte : bytes) base_->FromPc(byte);
    });
    return;
  }
  for (size_t i = 0; i < length; ++i) {
    toBaseFreeUs_ = std::max(nowUs, toBaseFreeUs_) + ByteTimeUs();
    const uint8_t byte = data[i];
    timeline_.At(toBaseFreeUs_, [this, byte] { base_->FromPc(byte); });
  }
}

void Devices::ToPc(const std::vector<uint8_t>& bytes) {
  if (!pcOpen_ || !understood_)
    return;  // nobody listening, or garbled at the PC's rate
  const uint64_t now = timeline_.Now();
  for (uint8_t byte : bytes) {
    uint64_t arrival = now;
    if (options_.emulateWireTime)
      arrival = toPcFreeUs_ = std::max(now, toPcFreeUs_) + ByteTimeUs();
    toPc_.push_back(InFlight{arrival, byte});
  }
}

size_t Devices::Arrived() const {
  size_t count = 0;
  while (count < toPc_.size() && toPc_[count].arrivalUs <= timeline_.Now()) ++count;
  return count;
}

size_t Devices::ToPcAvailable(uint32_t now) {
  AdvanceTo(now);
  return Arrived();
}

size_t Devices::ReadToPc(uint8_t* buffer, size_t max, uint32_t now) {
  AdvanceTo(now);
  const size_t count = std::min(max, Arrived());
  for (size_t i = 0; i < count; ++i) buffer[i] = toPc_[i].byte;
  toPc_.erase(toPc_.begin(), toPc_.begin() + static_cast<std::ptrdiff_t>(count));
  return count;
}

void Devices::PurgeToPc(uint32_t now) {
  AdvanceTo(now);
  toPc_.erase(toPc_.begin(), toPc_.begin() + static_cast<std::ptrdiff_t>(Arrived()));
}

void Devices::PressSetupButton(uint32_t when) {
  if (!clockStarted_)
    Internal(when);
  const uint64_t now = Internal(lastExternal_);
  const uint32_t ahead = when - lastExternal_;
  const uint64_t at = ahead < 0x80000000u ? now + uint64_t{ahead} * options_.tickUs : now;
  timeline_.At(at, [this] { module_->PressSetupButton(); });
}

uint32_t Devices::TicksUntilNextActivity(uint32_t now, uint32_t cap) {
  AdvanceTo(now);
  uint64_t next = timeline_.NextEventTime();
  const size_t arrived = Arrived();
  if (arrived < toPc_.size())
    next = std::min(next, toPc_[arrived].arrivalUs);
  if (next == UINT64_MAX)
    return cap;
  const uint64_t tick = options_.tickUs;
  const uint64_t wait = (next - timeline_.Now() + tick - 1) / tick;
  return static_cast<uint32_t>(std::min<uint64_t>(wait, cap));
}

const std::vector<std::string>& Devices::CommandLog() const {
  return base_->Commands();
}
const std::vector<std::vector<uint8_t>>& Devices::PageFrames() const {
  return module_->Loader().PageFrames();
}
const std::vector<uint8_t>& Devices::FirmwareImage() const {
  return module_->Loader().Image();
}
bool Devices::UpdateComplete() const {
  return module_->Loader().Complete();
}
ModuleState Devices::GetModuleState() const {
  return module_->State();
}
const RadioState& Devices::BaseRadio() const {
  return baseRadio_->State();
}
const RadioState& Devices::ModuleRadio() const {
  return moduleRadio_->State();
}
bool Devices::BaseRelaying() const {
  return base_->Relaying();
}
bool Devices::BaseReportMode() const {
  return base_->ReportMode();
}

}  // namespace sim
