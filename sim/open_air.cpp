#include "sim/open_air.h"

#include <algorithm>

#include "sim/base_station.h"

namespace sim {

namespace {
const char* const kRoom = "room";
// How long the operator waits for the module pressed last to be configured and its transfer to
// begin before pressing the next (a module nobody takes up would hold the room forever): the
// radio set-up alone takes some 6.5 s at 115200 baud, more on a busy PC.
constexpr uint64_t kWaitForConfigurationMs = 20000;

std::string Stations(const std::vector<size_t>& stations) {
  std::string text;
  for (size_t station : stations) text += (text.empty() ? "" : ", ") + std::to_string(station);
  return text;
}
}  // namespace

// What the room keeps of a module besides its slot.
struct OpenAir::Place {
  std::vector<size_t> firstCommand;  // per station, when it came into the room
  std::vector<size_t> endCommand;    // per station, when it left
  std::vector<size_t> holders;       // stations that heard, configured or updated it, until "<W"
  std::optional<size_t> bench;       // while in the room
  uint64_t pressToken = 0;
};

OpenAir::OpenAir(std::vector<LineModule> modules, const Options& options,
                 const std::vector<Scenario>& stationFaults, Timeline& timeline, TickClock& clock,
                 EventLog& log, uint32_t airRateBitsPerS)
    : options_(options),
      timeline_(timeline),
      log_(log),
      faults_(stationFaults),
      air_(timeline, log, Ms(options.hopLatencyMs)) {
  air_.ShareAirTime(airRateBitsPerS);
  const size_t count = std::max<size_t>(faults_.size(), 1);
  faults_.resize(count);
  Radio::Timing timing;
  for (size_t k = 0; k < count; ++k) {
    const Station::Setup setup = MakeStationSetup(options_, faults_[k], k + 1);
    timing = setup.timing;
    stationLogs_.push_back(
        std::make_unique<EventLog>(timeline, log, "station " + std::to_string(k + 1) + ": "));
    stations_.push_back(
        std::make_unique<Station>(timeline, clock, *stationLogs_.back(), air_, faults_[k], setup));
    Hook(k);
  }
  for (size_t i = 0; i < modules.size(); ++i) {
    auto log = std::make_unique<EventLog>(
        timeline, log_,
        "module " + std::to_string(i + 1) + " (ID " + modules[i].params.moduleId + "): ");
    EventLog& moduleLog = *log;
    slots_.push_back(
        MakeModuleSlot(std::move(modules[i]), timeline, air_, moduleLog, options_, timing));
    slots_.back()->number = i + 1;
    slots_.back()->ownLog = std::move(log);
    slots_.back()->module->SetCommandHook([this, i](uint64_t sender) { Addressed(i, sender); });
  }
  places_.resize(slots_.size());
  benches_.resize(count);
  for (size_t k = 0; k < count; ++k) PutOnBench(k);
}

OpenAir::~OpenAir() = default;

void OpenAir::Hook(size_t k) {
  BaseStation& base = stations_[k]->Base();
  base.SetReportModeHook([this, k] {
    if (benches_[k])
      PressLater(*benches_[k]);
  });
  base.SetReportHeardHook([this, k](uint64_t source) { Heard(k + 1, source); });
  base.SetReleaseHook([this, k] { Released(k + 1, false); });
  stations_[k]->SetClosedHook([this, k] { Released(k + 1, true); });
}

size_t OpenAir::StationOf(uint64_t address) const {
  for (size_t k = 0; k < stations_.size(); ++k)
    if (stations_[k]->BaseRadio().State().Address() == address)
      return k + 1;
  return 0;
}

bool OpenAir::InRoom(size_t module) const {
  return places_[module].bench.has_value();
}

void OpenAir::PutOnBench(size_t bench) {
  benches_[bench].reset();
  if (next_ == slots_.size())
    return;
  const size_t module = next_++;
  ModuleSlot& slot = *slots_[module];
  Place& place = places_[module];
  place.bench = bench;
  benches_[bench] = module;
  for (const auto& station : stations_)
    place.firstCommand.push_back(station->Base().Commands().size());
  air_.Attach(slot.radio.get());
  Station& station = *stations_[bench];
  log_.Add(kRoom, slot.Name(slots_.size()) + " comes to the bench of station " +
                      std::to_string(bench + 1));
  if (slot.entry.faults.bootLoaderRunning) {
    // As an interrupted update on this bench's station leaves them.
    slot.module->StartInBootLoader(station.BaseRadio().State().Address());
    station.BaseRadio().SetDestination(slot.radio->State().Address());
  }
  if (station.Base().ReportMode())
    PressLater(module);
}

// The operator presses the Setup button of a module still waiting in Setup mode.
void OpenAir::PressLater(size_t module) {
  const ModuleSlot& slot = *slots_[module];
  const int32_t after =
      slot.entry.pressSetupAfterReportModeMs.value_or(options_.pressSetupAfterReportModeMs);
  if (after < 0 || slot.module->State() != ModuleState::kSetup)
    return;
  const uint64_t token = ++places_[module].pressToken;
  timeline_.After(Ms(static_cast<uint64_t>(after)),
                  [this, module, token] { PressWhenQuiet(module, token); });
}

void OpenAir::PressWhenQuiet(size_t module, uint64_t token) {
  if (token != places_[module].pressToken || !InRoom(module) ||
      slots_[module]->module->State() != ModuleState::kSetup) {
    return;
  }
  const uint64_t now = timeline_.Now();
  if (now < quietFrom_ || (now < giveUpWaitingAt_ && Pending(lastPressed_))) {
    const uint64_t next = now < quietFrom_ ? quietFrom_ : now + Ms(100);
    timeline_.At(next, [this, module, token] { PressWhenQuiet(module, token); });
    return;
  }
  // A report is a few lines 10 ms apart; half a second covers it and its echo.
  quietFrom_ = now + Ms(500);
  giveUpWaitingAt_ = now + Ms(kWaitForConfigurationMs);
  lastPressed_ = module;
  slots_[module]->module->PressSetupButton();
}

// The module pressed last has a station busy on it and its transfer has not begun: while the
// station configures it and then polls its boot loader and asks its version (on the boot loader
// network, where the reports go out), another report in the air would mix into the replies.
bool OpenAir::Pending(std::optional<size_t> module) const {
  if (!module || !InRoom(*module) || places_[*module].holders.empty())
    return false;
  const Module& held = *slots_[*module]->module;
  return held.State() == ModuleState::kSetup ||
         (held.State() == ModuleState::kBootLoader && !held.Loader().TakingPages());
}

void OpenAir::Heard(size_t station, uint64_t source) {
  for (size_t i = 0; i < slots_.size(); ++i) {
    if (InRoom(i) && slots_[i]->radio->State().Address() == source) {
      NoteStation(slots_[i]->heardBy, station);
      NoteStation(places_[i].holders, station);
    }
  }
}

// A station's "<@:P" reached the module: the station configures it. A second station doing so
// is what a line of several must never do, so it is said loudly.
void OpenAir::Addressed(size_t module, uint64_t sender) {
  ModuleSlot& slot = *slots_[module];
  const size_t station = StationOf(sender);
  const std::vector<size_t> before = slot.configuredBy;
  if (NoteStation(slot.configuredBy, station) && !before.empty())
    log_.Add(kRoom, slot.Name(slots_.size()) + " is configured by station " +
                        std::to_string(station) + " too, after station " + Stations(before) +
                        ": configured by two stations");
  NoteStation(places_[module].holders, station);
}

// Whether `station`'s "<W" lets the module go: it heard, configured or updated it.
bool OpenAir::LetsGo(size_t module, size_t station) const {
  const auto& holders = places_[module].holders;
  const ModuleSlot& slot = *slots_[module];
  return std::find(holders.begin(), holders.end(), station) != holders.end() ||
         (slot.module->Loader().HeardFromPc() &&
          StationOf(slot.radio->State().Destination()) == station);
}

void OpenAir::Released(size_t station, bool portClosed) {
  for (size_t i = 0; i < slots_.size(); ++i) {
    if (!InRoom(i))
      continue;
    const ModuleSlot& slot = *slots_[i];
    auto stationOf = [this](uint64_t address) { return StationOf(address); };
    if (slot.UpdatedBy(stationOf) == station) {
      TakeAway(i);
      continue;
    }
    if (portClosed || !LetsGo(i, station))
      continue;
    auto& holders = places_[i].holders;
    holders.erase(std::remove(holders.begin(), holders.end(), station), holders.end());
    // A module only heard waits on in Setup mode for a station free to take it, and its Setup
    // button is pressed again; one configured, or run in its boot loader, has had its turn.
    const bool handled = !slot.configuredBy.empty() || slot.module->Loader().HeardFromPc();
    if (holders.empty() && handled)
      TakeAway(i);
  }
}

void OpenAir::TakeAway(size_t module) {
  ModuleSlot& slot = *slots_[module];
  Place& place = places_[module];
  slot.takenAway = true;
  for (const auto& station : stations_)
    place.endCommand.push_back(station->Base().Commands().size());
  air_.Detach(slot.radio.get());
  log_.Add(kRoom, slot.Name(slots_.size()) + " is taken away");
  const size_t bench = *place.bench;
  place.bench.reset();
  PutOnBench(bench);
  if (next_ == slots_.size() &&
      std::all_of(slots_.begin(), slots_.end(), [](const auto& s) { return s->takenAway; }))
    log_.Add(kRoom, "no more modules");
}

std::vector<std::string> OpenAir::CommandLog(size_t module, size_t station) const {
  const Place& place = places_.at(module);
  if (station == 0 || station > stations_.size() || place.firstCommand.empty())
    return {};
  const auto& all = stations_[station - 1]->Base().Commands();
  const size_t end = place.endCommand.empty() ? all.size() : place.endCommand[station - 1];
  return {all.begin() + static_cast<std::ptrdiff_t>(place.firstCommand[station - 1]),
          all.begin() + static_cast<std::ptrdiff_t>(end)};
}

}  // namespace sim
