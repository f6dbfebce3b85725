#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "sim/line_module.h"
#include "sim/module.h"
#include "sim/radio.h"
#include "sim/timeline.h"

namespace sim {

struct Options;

// One module of a line with its radio, and what the stations did with it. Stations are
// numbered from 1.
struct ModuleSlot {
  LineModule entry;
  size_t number = 1;                 // its place among all modules given, from 1
  std::unique_ptr<EventLog> ownLog;  // where it logs, when not in its station's log
  std::unique_ptr<Radio> radio;
  std::unique_ptr<Module> module;
  std::vector<size_t> heardBy;       // stations that passed its Setup report to their PC
  std::vector<size_t> configuredBy;  // stations whose "<@:P" commands it acted on
  bool takenAway = false;

  // The station that updated it: the one its radio sends to once its end mark has come; 0 for
  // none. `stationOf` names the station of a radio address (0: none).
  template <typename StationOf>
  size_t UpdatedBy(StationOf stationOf) const {
    return module->Loader().Complete() ? stationOf(radio->State().Destination()) : 0;
  }
  // e.g. "module 2 of 4 (ID 222222)"
  std::string Name(size_t count) const;
};

// The module and its radio in `air`, logging to `log`, with the timing of `options`. Its
// radio shares the timing of the base station's radio.
std::unique_ptr<ModuleSlot> MakeModuleSlot(LineModule entry, Timeline& timeline, Air& air,
                                           EventLog& log, const Options& options,
                                           const Radio::Timing& timing);

// Adds `station` to `stations` once; true when it was not there yet.
bool NoteStation(std::vector<size_t>& stations, size_t station);

}  // namespace sim
