#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/devices.h"
#include "sim/open_air.h"

namespace sim {

struct LineOptions {
  size_t stations = 1;
  // One room, one air, one queue of modules (OpenAir); else each station in its own test box
  // with the modules whose LineModule::station is its number.
  bool openAir = false;
  // The air's capacity per channel, shared by everything sent on it; 0 for no limit. The
  // default is the radios' raw rate on the 2.4 GHz band.
  uint32_t airRateBitsPerS = 250000;
  // The faults of each station's base station, radio and port. In test boxes each module
  // carries its station's faults, and the base station follows the module within reach as on
  // one station; these count only while the box is empty.
  std::vector<Scenario> stationFaults;
};

// A production line of one or several base stations on one timeline, the way tessalink-sim
// presents it. Stations are numbered from 0 here, from 1 in the log and the records; modules by
// their place among all the modules given.
class Line {
 public:
  // Today's single station, exactly as the devices are.
  explicit Line(std::unique_ptr<Devices> single);
  Line(std::vector<LineModule> modules, const Options& options, const LineOptions& line);
  ~Line();
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;

  // More than the single station of Line(devices), even if only one.
  bool Several() const { return single_ == nullptr; }
  bool OpenAirRoom() const { return openAir_ != nullptr; }
  size_t StationCount() const;
  Station& GetStation(size_t station);
  const Station& GetStation(size_t station) const;
  void AdvanceTo(uint32_t now);
  // Ticks until something is due on any station, at most `cap`.
  uint32_t TicksUntilNextActivity(uint32_t now, uint32_t cap);
  const EventLog& Log() const;
  void SetLogHook(EventLog::Hook hook);

  size_t ModuleCount() const { return places_.size(); }
  const ModuleSlot& Slot(size_t module) const;
  // The station (from 1) whose test box holds the module; 0 in open air.
  size_t BoxOf(size_t module) const;
  // The station (from 1) that updated it, or 0.
  size_t UpdatedBy(size_t module) const;
  // The base station's commands while the module was within reach, per station (from 1): its
  // box's station, or in open air every station that configured or updated it.
  std::vector<std::pair<size_t, std::vector<std::string>>> ModuleCommands(size_t module) const;
  // Every module has been taken away.
  bool Finished() const;
  // The single station's devices, or nullptr.
  const Devices* Single() const { return single_.get(); }

 private:
  Devices& BoxDevices(size_t module) const;

  std::unique_ptr<Devices> single_;
  std::unique_ptr<Timeline> timeline_;
  std::unique_ptr<TickClock> clock_;
  std::unique_ptr<EventLog> log_;
  std::vector<std::unique_ptr<Devices>> boxes_;
  std::unique_ptr<OpenAir> openAir_;
  // Each module's box (station from 0, 0 in open air) and place in it.
  std::vector<std::pair<size_t, size_t>> places_;
};

}  // namespace sim
