#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "sim/module.h"
#include "sim/scenario.h"

namespace sim {

// One module of a production line: its control parameters, its own faults and, where it
// differs from Options::pressSetupAfterReportModeMs, when its Setup button is pressed.
struct LineModule {
  ModuleParams params;
  Scenario faults;
  std::optional<int32_t> pressSetupAfterReportModeMs;  // -1: never pressed by itself
  size_t station = 1;  // in a line of several test boxes: the station (from 1) whose box it is in
};

// Sets one value by its name: id (1 to 6 characters), serial (HHHHHHHH-LLLLLLLL, with '-', ':'
// or a blank between), pan (hexadecimal), channel (decimal, or 0x..), setup-after
// (milliseconds, or off), station (from 1). False for an unknown name or a bad value.
bool SetModuleValue(const std::string& name, const std::string& value, LineModule& entry);

// Reads "id=234567,serial=00A2B3C4-41526375,pan=3332,channel=15,setup-after=800,faults=LIST"
// on top of `entry`; every part may be left out. faults= comes last and takes the rest of the
// text, a fault list on top of entry.faults. baud= and port-busy belong to the serial line, not
// to a module, and are refused here. False with a message in `error`.
bool ParseLineModule(const std::string& text, LineModule& entry, std::string& error);

}  // namespace sim
