#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/devices.h"
#include "sim/module_slot.h"
#include "sim/station.h"

namespace sim {

// Several base stations in one room, on one air and one timeline, with one queue of modules.
// Each station has a bench: the queue fills the benches in station order, and a bench that
// empties takes the next module. A module on station K's bench presses its Setup button (its
// setup-after) after station K turns report forwarding on, or after it arrives while station K
// forwards reports already. Its Setup report reaches every station that forwards reports; any
// station may configure and update it. It leaves the room
// - once its update is complete and the station that updated it sends "<W" or closes its port;
// - or, once a station configured it or ran its boot loader, when the last station that heard
//   its report, configured it or ran its boot loader sends "<W".
// A module whose report was only heard stays, and its Setup button is pressed again when its
// bench's station next turns report forwarding on.
class OpenAir {
 public:
  // `stationFaults` holds the faults of each station's base station, radio and port (missing
  // ones: none); the modules carry their own.
  OpenAir(std::vector<LineModule> modules, const Options& options,
          const std::vector<Scenario>& stationFaults, Timeline& timeline, TickClock& clock,
          EventLog& log, uint32_t airRateBitsPerS);
  ~OpenAir();
  OpenAir(const OpenAir&) = delete;
  OpenAir& operator=(const OpenAir&) = delete;

  size_t StationCount() const { return stations_.size(); }
  Station& GetStation(size_t station) { return *stations_.at(station); }
  const Station& GetStation(size_t station) const { return *stations_.at(station); }
  size_t ModuleCount() const { return slots_.size(); }
  const ModuleSlot& Slot(size_t module) const { return *slots_.at(module); }
  // The station (from 1) whose radio has this address, or 0.
  size_t StationOf(uint64_t address) const;
  // Station `station`'s (from 1) commands while the module was in the room.
  std::vector<std::string> CommandLog(size_t module, size_t station) const;

 private:
  struct Place;
  void Hook(size_t station);
  void PutOnBench(size_t bench);
  void PressLater(size_t module);
  // The operator's hand: one module's Setup button at a time, a report's length apart, so that
  // no two reports overlap in the air (lines of two would mix in every station's ears), and
  // not while the module pressed last is being configured, until its transfer begins (at most
  // 20 s).
  void PressWhenQuiet(size_t module, uint64_t token);
  bool Pending(std::optional<size_t> module) const;
  void Heard(size_t station, uint64_t source);
  void Addressed(size_t module, uint64_t sender);
  void Released(size_t station, bool portClosed);
  bool LetsGo(size_t module, size_t station) const;
  void TakeAway(size_t module);
  bool InRoom(size_t module) const;

  Options options_;
  Timeline& timeline_;
  EventLog& log_;
  std::vector<Scenario> faults_;  // per station; sized once, the stations read them in place
  Air air_;
  std::vector<std::unique_ptr<Station>> stations_;
  std::vector<std::unique_ptr<EventLog>> stationLogs_;
  std::vector<std::unique_ptr<ModuleSlot>> slots_;
  std::vector<Place> places_;
  std::vector<std::optional<size_t>> benches_;  // the module on each station's bench
  size_t next_ = 0;                             // the queue's next module
  uint64_t quietFrom_ = 0;                      // when the next Setup button may be pressed
  std::optional<size_t> lastPressed_;           // the module whose button was pressed last
  uint64_t giveUpWaitingAt_ = 0;                // for it to be configured
};

}  // namespace sim
