#include "sim/devices.h"

#include <algorithm>
#include <optional>

#include "sim/base_station.h"

namespace sim {

namespace {
const char* const kSource = "serial line";
const char* const kLine = "production line";

std::string Describe(const LineSettings& settings) {
  static const char kParity[] = {'N', 'E', 'O', 'M', 'S'};
  return std::to_string(settings.baud) + " baud, " + std::to_string(settings.dataBits) +
         kParity[static_cast<int>(settings.parity)] +
         (settings.stopBits == StopBits::kTwo ? "2" : "1");
}
// A radio as it starts: frame mode 2, destination 0 until told otherwise.
RadioState FramedRadio(uint16_t panId, uint8_t channel, uint32_t serialHigh, uint32_t serialLow) {
  RadioState state;
  state.frameMode = 2;
  state.panId = panId;
  state.channel = channel;
  state.serialHigh = serialHigh;
  state.serialLow = serialLow;
  return state;
}
}  // namespace

struct Devices::Slot {
  LineModule entry;
  std::unique_ptr<Radio> radio;
  std::unique_ptr<Module> module;
  size_t firstCommand = 0;
  std::optional<size_t> endCommand;  // once taken away
};

Devices::Devices(const ModuleParams& module, const Scenario& scenario, const Options& options)
    : Devices({LineModule{module, scenario, {}}}, options, false) {}

Devices::Devices(const std::vector<LineModule>& modules, const Options& options)
    : Devices(modules, options, true) {}

Devices::Devices(std::vector<LineModule> modules, const Options& options, bool takeAway)
    : options_(options), takeAway_(takeAway), air_(timeline_, log_, Ms(options.hopLatencyMs)) {
  if (modules.empty())
    modules.emplace_back();
  lineScenario_ = modules.front().faults;
  baseBaud_ = lineScenario_.baseBaud != 0 ? lineScenario_.baseBaud : options.baseBaud;
  Radio::Timing timing;
  timing.guardUs = Ms(options_.radioGuardMs);
  // A radio sends what it has collected once the serial line has been quiet for three
  // character times.
  timing.packetGapUs = (30'000'000 + baseBaud_ - 1) / baseBaud_;

  RadioState base = FramedRadio(options_.basePanId, options_.baseChannel, options_.baseSerialHigh,
                                options_.baseSerialLow);
  base.destinationLow = 0xFFFF;
  baseRadio_ = std::make_unique<Radio>("base radio", Side::kBase, timeline_, air_, log_,
                                       lineScenario_, base, timing);
  air_.Attach(baseRadio_.get());

  BaseStation::Config baseConfig;
  baseConfig.versionTail = options_.baseVersion;
  baseConfig.turnaroundUs = Ms(options_.turnaroundMs);
  baseConfig.escapeGuardUs = Ms(options_.escapeGuardMs);
  base_ = std::make_unique<BaseStation>(timeline_, *baseRadio_, log_, lineScenario_, baseConfig,
                                        [this](const std::vector<uint8_t>& bytes) { ToPc(bytes); });
  baseRadio_->SetHostSink([this](const std::vector<uint8_t>& bytes) { base_->FromRadio(bytes); });
  base_->SetReportModeHook([this] {
    const int32_t after = current_ < slots_.size()
                              ? slots_[current_]->entry.pressSetupAfterReportModeMs.value_or(
                                    options_.pressSetupAfterReportModeMs)
                              : -1;
    if (after >= 0)
      timeline_.After(Ms(static_cast<uint64_t>(after)),
                      [this] { PressSetupOfModuleWithinReach(); });
  });
  base_->SetReleaseHook([this] { Released(); });

  for (LineModule& entry : modules) slots_.push_back(MakeSlot(std::move(entry), timing));
  ComeWithinReach(0);
}

std::unique_ptr<Devices::Slot> Devices::MakeSlot(LineModule entry, const Radio::Timing& timing) {
  auto slot = std::make_unique<Slot>();
  slot->entry = std::move(entry);
  ModuleParams& params = slot->entry.params;
  if (params.moduleId.size() > 6)
    params.moduleId.resize(6);
  slot->radio = std::make_unique<Radio>(
      "module radio", Side::kModule, timeline_, air_, log_, slot->entry.faults,
      FramedRadio(params.panId, params.channel, params.serialHigh, params.serialLow), timing);

  Module::Config config;
  config.turnaroundUs = Ms(options_.turnaroundMs);
  config.bootStartUs = Ms(options_.bootStartMs);
  config.reportLineGapUs = Ms(options_.reportLineGapMs);
  config.bootLoader.turnaroundUs = Ms(options_.turnaroundMs);
  config.bootLoader.pageWriteUs = Ms(options_.pageWriteMs);
  config.bootLoader.frameGapUs = Ms(options_.frameGapMs);
  slot->module = std::make_unique<Module>(timeline_, *slot->radio, air_, log_, slot->entry.faults,
                                          params, config);
  Module& module = *slot->module;
  slot->radio->SetHostSink(
      [&module](const std::vector<uint8_t>& bytes) { module.FromRadio(bytes); });
  return slot;
}

std::string Devices::ModuleName(size_t module) const {
  return "module " + std::to_string(module + 1) + " of " + std::to_string(slots_.size()) + " (ID " +
         slots_[module]->entry.params.moduleId + ")";
}

void Devices::ComeWithinReach(size_t module) {
  current_ = module;
  if (module == slots_.size()) {
    log_.Add(kLine, "no more modules");
    return;
  }
  Slot& slot = *slots_[module];
  lineScenario_ = slot.entry.faults;
  slot.firstCommand = base_->Commands().size();
  air_.Attach(slot.radio.get());
  if (takeAway_)
    log_.Add(kLine, ModuleName(module) + " comes within reach");
  if (slot.entry.faults.bootLoaderRunning) {
    // As an interrupted update leaves them: the module in its boot loader talking to the base
    // station's radio, and the base station's radio pointed at the module.
    slot.module->StartInBootLoader(baseRadio_->State().Address());
    baseRadio_->SetDestination(slot.radio->State().Address());
  }
}

// The PC has let go of the base station: the module within reach goes if it took part.
void Devices::Released() {
  if (!takeAway_ || current_ == slots_.size() || !TookPart(current_))
    return;
  Slot& slot = *slots_[current_];
  slot.endCommand = base_->Commands().size();
  air_.Detach(slot.radio.get());
  log_.Add(kLine, ModuleName(current_) + " is taken away");
  ComeWithinReach(current_ + 1);
}

void Devices::PressSetupOfModuleWithinReach() {
  if (current_ < slots_.size())
    slots_[current_]->module->PressSetupButton();
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
  timeline_.At(at, [this] { PressSetupOfModuleWithinReach(); });
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
bool Devices::BaseRelaying() const {
  return base_->Relaying();
}
bool Devices::BaseReportMode() const {
  return base_->ReportMode();
}
const RadioState& Devices::BaseRadio() const {
  return baseRadio_->State();
}

bool Devices::TookPart(size_t module) const {
  return slots_.at(module)->module->TookPart();
}
bool Devices::TakenAway(size_t module) const {
  return slots_.at(module)->endCommand.has_value();
}
std::vector<std::string> Devices::CommandLog(size_t module) const {
  const Slot& slot = *slots_.at(module);
  const auto& all = base_->Commands();
  if (module > current_)
    return {};
  const auto first = all.begin() + static_cast<std::ptrdiff_t>(slot.firstCommand);
  return {first, all.begin() + static_cast<std::ptrdiff_t>(slot.endCommand.value_or(all.size()))};
}
const std::vector<std::vector<uint8_t>>& Devices::PageFrames(size_t module) const {
  return slots_.at(module)->module->Loader().PageFrames();
}
const std::vector<uint8_t>& Devices::FirmwareImage(size_t module) const {
  return slots_.at(module)->module->Loader().Image();
}
bool Devices::UpdateComplete(size_t module) const {
  return slots_.at(module)->module->Loader().Complete();
}
ModuleState Devices::GetModuleState(size_t module) const {
  return slots_.at(module)->module->State();
}
const ModuleParams& Devices::GetModuleParams(size_t module) const {
  return slots_.at(module)->entry.params;
}
const RadioState& Devices::ModuleRadio(size_t module) const {
  return slots_.at(module)->radio->State();
}
bool Devices::LinkDropped(size_t module) const {
  return air_.Dead(*slots_.at(module)->radio);
}
std::vector<std::string> Devices::SetupReportLines(size_t module) const {
  return slots_.at(module)->module->ReportLines();
}

}  // namespace sim
