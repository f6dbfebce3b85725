#include "sim/line.h"

#include <algorithm>

namespace sim {

Line::Line(std::unique_ptr<Devices> single) : single_(std::move(single)) {
  for (size_t i = 0; i < single_->ModuleCount(); ++i) places_.emplace_back(0, i);
}

Line::Line(std::vector<LineModule> modules, const Options& options, const LineOptions& line)
    : timeline_(std::make_unique<Timeline>()),
      clock_(std::make_unique<TickClock>(options.tickUs)),
      log_(std::make_unique<EventLog>(*timeline_)) {
  const size_t stations = std::max<size_t>(line.stations, 1);
  if (line.openAir) {
    std::vector<Scenario> faults = line.stationFaults;
    faults.resize(stations);
    for (size_t i = 0; i < modules.size(); ++i) places_.emplace_back(0, i);
    openAir_ = std::make_unique<OpenAir>(std::move(modules), options, faults, *timeline_, *clock_,
                                         *log_, line.airRateBitsPerS);
    return;
  }
  std::vector<std::vector<LineModule>> queues(stations);
  std::vector<std::vector<size_t>> numbers(stations);
  for (size_t i = 0; i < modules.size(); ++i) {
    const size_t box = std::min(std::max<size_t>(modules[i].station, 1), stations) - 1;
    places_.emplace_back(box, queues[box].size());
    queues[box].push_back(std::move(modules[i]));
    numbers[box].push_back(i + 1);
  }
  for (size_t k = 0; k < stations; ++k) {
    const StationPlace place{*timeline_,
                             *clock_,
                             *log_,
                             k + 1,
                             numbers[k],
                             places_.size(),
                             line.airRateBitsPerS,
                             k < line.stationFaults.size() ? line.stationFaults[k] : Scenario{}};
    boxes_.push_back(std::make_unique<Devices>(queues[k], options, place));
  }
}

Line::~Line() = default;

size_t Line::StationCount() const {
  return single_ ? 1 : openAir_ ? openAir_->StationCount() : boxes_.size();
}

Station& Line::GetStation(size_t station) {
  if (single_)
    return single_->GetStation();
  return openAir_ ? openAir_->GetStation(station) : boxes_.at(station)->GetStation();
}

const Station& Line::GetStation(size_t station) const {
  return const_cast<Line*>(this)->GetStation(station);
}

void Line::AdvanceTo(uint32_t now) {
  if (single_)
    return single_->AdvanceTo(now);
  timeline_->RunUntil(clock_->Internal(now));
}

uint32_t Line::TicksUntilNextActivity(uint32_t now, uint32_t cap) {
  if (single_)
    return single_->TicksUntilNextActivity(now, cap);
  AdvanceTo(now);
  uint64_t next = timeline_->NextEventTime();
  for (size_t k = 0; k < StationCount(); ++k) next = std::min(next, GetStation(k).NextArrivalUs());
  return clock_->TicksUntil(timeline_->Now(), next, cap);
}

const EventLog& Line::Log() const {
  return single_ ? single_->Log() : *log_;
}

void Line::SetLogHook(EventLog::Hook hook) {
  if (single_)
    return single_->SetLogHook(std::move(hook));
  log_->SetHook(std::move(hook));
}

Devices& Line::BoxDevices(size_t module) const {
  return single_ ? *single_ : *boxes_.at(places_.at(module).first);
}

const ModuleSlot& Line::Slot(size_t module) const {
  if (openAir_)
    return openAir_->Slot(module);
  return BoxDevices(module).Slot(places_.at(module).second);
}

size_t Line::BoxOf(size_t module) const {
  return openAir_ ? 0 : places_.at(module).first + 1;
}

size_t Line::UpdatedBy(size_t module) const {
  if (openAir_)
    return Slot(module).UpdatedBy([this](uint64_t a) { return openAir_->StationOf(a); });
  const Devices& devices = BoxDevices(module);
  return Slot(module).UpdatedBy([&devices](uint64_t a) { return devices.StationOf(a); });
}

std::vector<std::pair<size_t, std::vector<std::string>>> Line::ModuleCommands(size_t module) const {
  if (!openAir_)
    return {{BoxOf(module), BoxDevices(module).CommandLog(places_.at(module).second)}};
  std::vector<size_t> stations = Slot(module).configuredBy;
  NoteStation(stations, UpdatedBy(module));
  std::sort(stations.begin(), stations.end());
  std::vector<std::pair<size_t, std::vector<std::string>>> commands;
  for (size_t station : stations)
    commands.emplace_back(station, openAir_->CommandLog(module, station));
  return commands;
}

bool Line::Finished() const {
  for (size_t i = 0; i < ModuleCount(); ++i)
    if (!Slot(i).takenAway)
      return false;
  return true;
}

}  // namespace sim
