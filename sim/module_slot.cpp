#include "sim/module_slot.h"

#include <algorithm>

#include "sim/devices.h"

namespace sim {

std::string ModuleSlot::Name(size_t count) const {
  return "module " + std::to_string(number) + " of " + std::to_string(count) + " (ID " +
         entry.params.moduleId + ")";
}

std::unique_ptr<ModuleSlot> MakeModuleSlot(LineModule entry, Timeline& timeline, Air& air,
                                           EventLog& log, const Options& options,
                                           const Radio::Timing& timing) {
  auto slot = std::make_unique<ModuleSlot>();
  slot->entry = std::move(entry);
  ModuleParams& params = slot->entry.params;
  if (params.moduleId.size() > 6)
    params.moduleId.resize(6);
  RadioState state;
  state.frameMode = 2;
  state.panId = params.panId;
  state.channel = params.channel;
  state.serialHigh = params.serialHigh;
  state.serialLow = params.serialLow;
  slot->radio = std::make_unique<Radio>("module radio", Side::kModule, timeline, air, log,
                                        slot->entry.faults, state, timing);

  Module::Config config;
  config.turnaroundUs = Ms(options.turnaroundMs);
  config.bootStartUs = Ms(options.bootStartMs);
  config.reportLineGapUs = Ms(options.reportLineGapMs);
  config.bootLoader.turnaroundUs = Ms(options.turnaroundMs);
  config.bootLoader.pageWriteUs = Ms(options.pageWriteMs);
  config.bootLoader.frameGapUs = Ms(options.frameGapMs);
  slot->module = std::make_unique<Module>(timeline, *slot->radio, air, log, slot->entry.faults,
                                          params, config);
  Module& module = *slot->module;
  slot->radio->SetHostSink(
      [&module](const std::vector<uint8_t>& bytes) { module.FromRadio(bytes); });
  return slot;
}

bool NoteStation(std::vector<size_t>& stations, size_t station) {
  if (station == 0 || std::find(stations.begin(), stations.end(), station) != stations.end())
    return false;
  stations.push_back(station);
  return true;
}

}  // namespace sim
