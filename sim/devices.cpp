#include "sim/devices.h"

#include <algorithm>
#include <optional>

#include "sim/base_station.h"

namespace sim {

namespace {
const char* const kLine = "production line";

std::string StationPrefix(const StationPlace* place) {
  return place ? "station " + std::to_string(place->number) + ": " : "";
}
}  // namespace

Station::Setup MakeStationSetup(const Options& options, const Scenario& faults, size_t number) {
  Station::Setup setup;
  setup.baud = faults.baseBaud != 0 ? faults.baseBaud : options.baseBaud;
  setup.emulateWireTime = options.emulateWireTime;
  setup.timing.guardUs = Ms(options.radioGuardMs);
  // A radio sends what it has collected once the serial line has been quiet for three
  // character times.
  setup.timing.packetGapUs = (30'000'000 + setup.baud - 1) / setup.baud;
  setup.radio.panId = options.basePanId;
  setup.radio.channel = options.baseChannel;
  setup.radio.serialHigh = options.baseSerialHigh;
  // Each station's radio has an address of its own: the next ones count up from the first.
  setup.radio.serialLow = options.baseSerialLow + static_cast<uint32_t>(number - 1);
  setup.radio.destinationLow = 0xFFFF;
  setup.base.versionTail = options.baseVersion;
  setup.base.turnaroundUs = Ms(options.turnaroundMs);
  setup.base.escapeGuardUs = Ms(options.escapeGuardMs);
  return setup;
}

Devices::Devices(const ModuleParams& module, const Scenario& scenario, const Options& options)
    : Devices({LineModule{module, scenario, {}}}, options, false, nullptr) {}

Devices::Devices(const std::vector<LineModule>& modules, const Options& options)
    : Devices(modules, options, true, nullptr) {}

Devices::Devices(const std::vector<LineModule>& modules, const Options& options,
                 const StationPlace& place)
    : Devices(modules, options, true, &place) {}

Devices::Devices(std::vector<LineModule> modules, const Options& options, bool takeAway,
                 const StationPlace* place)
    : options_(options),
      takeAway_(takeAway),
      inLine_(place != nullptr),
      number_(place ? place->number : 1),
      moduleCount_(place ? place->moduleCount : std::max<size_t>(modules.size(), 1)),
      ownTimeline_(place ? nullptr : std::make_unique<Timeline>()),
      ownClock_(place ? nullptr : std::make_unique<TickClock>(options.tickUs)),
      timeline_(place ? place->timeline : *ownTimeline_),
      clock_(place ? place->clock : *ownClock_),
      log_(place ? EventLog(timeline_, place->log, StationPrefix(place)) : EventLog(timeline_)),
      air_(timeline_, log_, Ms(options.hopLatencyMs)) {
  if (modules.empty() && !place)
    modules.emplace_back();
  if (place)
    air_.ShareAirTime(place->airRateBitsPerS);
  lineScenario_ = modules.empty() ? place->faults : modules.front().faults;
  const Station::Setup setup = MakeStationSetup(options_, lineScenario_, number_);
  station_ = std::make_unique<Station>(timeline_, clock_, log_, air_, lineScenario_, setup);
  BaseStation& base = station_->Base();
  base.SetReportModeHook([this] {
    const int32_t after = current_ < slots_.size()
                              ? slots_[current_]->entry.pressSetupAfterReportModeMs.value_or(
                                    options_.pressSetupAfterReportModeMs)
                              : -1;
    if (after >= 0)
      timeline_.After(Ms(static_cast<uint64_t>(after)),
                      [this] { PressSetupOfModuleWithinReach(); });
  });
  base.SetReleaseHook([this] { Released(false); });
  base.SetReportHeardHook([this](uint64_t source) { ReportHeard(source); });
  if (inLine_)
    station_->SetClosedHook([this] { Released(true); });

  for (size_t i = 0; i < modules.size(); ++i) {
    slots_.push_back(MakeSlot(std::move(modules[i]), setup.timing));
    slots_.back()->number =
        place && i < place->moduleNumbers.size() ? place->moduleNumbers[i] : i + 1;
  }
  firstCommand_.resize(slots_.size());
  endCommand_.resize(slots_.size());
  ComeWithinReach(0);
}

std::unique_ptr<ModuleSlot> Devices::MakeSlot(LineModule entry, const Radio::Timing& timing) {
  auto slot = MakeModuleSlot(std::move(entry), timeline_, air_, log_, options_, timing);
  ModuleSlot& made = *slot;
  made.module->SetCommandHook(
      [this, &made](uint64_t sender) { NoteStation(made.configuredBy, StationOf(sender)); });
  return slot;
}

size_t Devices::StationOf(uint64_t address) const {
  return address == station_->BaseRadio().State().Address() ? number_ : 0;
}

void Devices::ComeWithinReach(size_t module) {
  current_ = module;
  if (module == slots_.size()) {
    log_.Add(kLine, "no more modules");
    return;
  }
  ModuleSlot& slot = *slots_[module];
  lineScenario_ = slot.entry.faults;
  firstCommand_[module] = station_->Base().Commands().size();
  air_.Attach(slot.radio.get());
  if (takeAway_)
    log_.Add(kLine, slot.Name(moduleCount_) + " comes within reach");
  if (slot.entry.faults.bootLoaderRunning) {
    // As an interrupted update leaves them: the module in its boot loader talking to the base
    // station's radio, and the base station's radio pointed at the module.
    slot.module->StartInBootLoader(station_->BaseRadio().State().Address());
    station_->BaseRadio().SetDestination(slot.radio->State().Address());
  }
}

// The PC has let go of the base station ("<W"), or in a line of several closed its port: the
// module within reach goes if it took part (after a closed port: if its update is complete).
void Devices::Released(bool portClosed) {
  if (!takeAway_ || current_ == slots_.size() || !TookPart(current_) ||
      (portClosed && !UpdateComplete(current_)))
    return;
  ModuleSlot& slot = *slots_[current_];
  endCommand_[current_] = station_->Base().Commands().size();
  slot.takenAway = true;
  air_.Detach(slot.radio.get());
  log_.Add(kLine, slot.Name(moduleCount_) + " is taken away");
  ComeWithinReach(current_ + 1);
}

void Devices::ReportHeard(uint64_t source) {
  if (current_ < slots_.size() && slots_[current_]->radio->State().Address() == source)
    NoteStation(slots_[current_]->heardBy, number_);
}

void Devices::PressSetupOfModuleWithinReach() {
  if (current_ < slots_.size())
    slots_[current_]->module->PressSetupButton();
}

Devices::~Devices() = default;

void Devices::AdvanceTo(uint32_t now) {
  station_->AdvanceTo(now);
}
void Devices::PcOpened(const LineSettings& settings, uint32_t now) {
  station_->PcOpened(settings, now);
}
void Devices::PcClosed(uint32_t now) {
  station_->PcClosed(now);
}
void Devices::FromPc(const uint8_t* data, size_t length, uint32_t now) {
  station_->FromPc(data, length, now);
}
size_t Devices::ToPcAvailable(uint32_t now) {
  return station_->ToPcAvailable(now);
}
size_t Devices::ReadToPc(uint8_t* buffer, size_t max, uint32_t now) {
  return station_->ReadToPc(buffer, max, now);
}
void Devices::PurgeToPc(uint32_t now) {
  station_->PurgeToPc(now);
}

void Devices::PressSetupButton(uint32_t when) {
  timeline_.At(clock_.Ahead(when), [this] { PressSetupOfModuleWithinReach(); });
}

uint32_t Devices::TicksUntilNextActivity(uint32_t now, uint32_t cap) {
  AdvanceTo(now);
  const uint64_t next = std::min(timeline_.NextEventTime(), station_->NextArrivalUs());
  return clock_.TicksUntil(timeline_.Now(), next, cap);
}

const std::vector<std::string>& Devices::CommandLog() const {
  return station_->Base().Commands();
}
bool Devices::BaseRelaying() const {
  return station_->Base().Relaying();
}
bool Devices::BaseReportMode() const {
  return station_->Base().ReportMode();
}
const RadioState& Devices::BaseRadio() const {
  return station_->BaseRadio().State();
}

bool Devices::TookPart(size_t module) const {
  return slots_.at(module)->module->TookPart();
}
bool Devices::TakenAway(size_t module) const {
  return slots_.at(module)->takenAway;
}
std::vector<std::string> Devices::CommandLog(size_t module) const {
  slots_.at(module);
  const auto& all = station_->Base().Commands();
  if (module > current_)
    return {};
  const auto first = all.begin() + static_cast<std::ptrdiff_t>(firstCommand_[module]);
  return {first,
          all.begin() + static_cast<std::ptrdiff_t>(endCommand_[module].value_or(all.size()))};
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
