#pragma once
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/devices.h"
#include "sim/line.h"
#include "sim/line_module.h"

namespace sim {

// tessalink-sim's command line.
struct ProgramSettings {
  LineModule module;                  // the single module, and what --module leaves out
  std::vector<std::string> sequence;  // the --module texts, in order
  Scenario scenario;
  Options options;
  size_t stations = 0;  // 0: --stations not given, the one station of old
  bool openAir = false;
  uint32_t airRateBitsPerS = LineOptions{}.airRateBitsPerS;
  std::vector<std::pair<size_t, std::string>> stationFaults;  // --station-faults K=LIST
  std::string imageOut;
  std::string imagesDirectory;
  std::string logPath;
  std::string link;
  bool exitAfterUpdate = false;
};

// False with a message for a bad command line, or with an empty message for --help.
bool ParseProgramArguments(int argc, char** argv, ProgramSettings& settings, std::string& error);
// The stations and modules the settings describe; nullptr with a message when they do not fit
// together.
std::unique_ptr<Line> MakeLine(const ProgramSettings& settings, std::string& error);
// The options, for the help text (the fault list follows it).
const char* ProgramUsage();

}  // namespace sim
