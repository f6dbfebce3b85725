#include "sim/program_settings.h"

#include "sim/number_text.h"

namespace sim {

namespace {

const char kUsage[] =
    "usage: tessalink-sim [options]\n"
    "  --baud N               the base station's baud rate (9600)\n"
    "  --module-id TEXT       module ID, up to 6 characters (123456)\n"
    "  --serial HHHHHHHH-LLLLLLLL  network serial number (00A2B3C4-41526374)\n"
    "  --pan HHHH             module PAN ID, hexadecimal (3332)\n"
    "  --channel N            module RF channel, decimal or 0xHH (15)\n"
    "  --scenario LIST        faults, comma-separated (see below)\n"
    "  --setup-after MS|off   press the Setup button MS after \"<RS\" turns report\n"
    "                         forwarding on (1000)\n"
    "  --module TEXT          one module of a production line; repeat it for the next\n"
    "                         ones: id=TEXT,serial=H-L,pan=HHHH,channel=N,\n"
    "                         setup-after=MS|off,station=K,faults=LIST (faults last;\n"
    "                         what is left out comes from the options above)\n"
    "  --stations N           N base stations, each on a terminal of its own (the N\n"
    "                         paths are the first N lines on stdout)\n"
    "  --open-air             the stations share one room, one air and one queue of\n"
    "                         modules (else each has its own test box and queue)\n"
    "  --air-rate BITS_PER_S  with --stations: the air's capacity per channel (250000)\n"
    "  --station-faults K=LIST  faults of station K (repeat it for other stations)\n"
    "  --images DIR           write module-N-ID.bin and .txt for each module once its\n"
    "                         end mark has come and once it is taken away; with\n"
    "                         --stations also station-K.log, each station's commands\n"
    "  --image-out FILE       write the received firmware image when the update completes\n"
    "                         (not with --stations)\n"
    "  --wire-time            bytes take 10 bits at the baud rate on the serial line\n"
    "  --page-turnaround MS   boot loader: good page frame to \"!\" (20)\n"
    "  --hop-latency MS       one radio packet through the air (5)\n"
    "  --exit-after-update    exit once the update is complete (with --module or\n"
    "                         --stations: once every module is taken away) and every\n"
    "                         port is closed\n"
    "  --log FILE             readable log of commands and events (- for stderr)\n"
    "  --link PATH            also make PATH a symbolic link to the terminal (with\n"
    "                         --stations N > 1: PATH-1 ... PATH-N)\n"
    "faults:\n";

constexpr uint64_t kMostStations = 64;

// The options that set a value of the module, by the name the --module text gives it.
const std::pair<const char*, const char*> kModuleOptions[] = {
    {"--module-id", "id"},    {"--serial", "serial"},           {"--pan", "pan"},
    {"--channel", "channel"}, {"--setup-after", "setup-after"},
};

const char* ModuleKey(const std::string& option) {
  for (const auto& [name, key] : kModuleOptions)
    if (option == name)
      return key;
  return nullptr;
}

bool Flag(const std::string& option, ProgramSettings& settings) {
  if (option == "--wire-time")
    return settings.options.emulateWireTime = true;
  if (option == "--exit-after-update")
    return settings.exitAfterUpdate = true;
  if (option == "--open-air")
    return settings.openAir = true;
  return false;
}

// K=LIST
bool StationFaults(const std::string& value, ProgramSettings& settings) {
  const size_t equals = value.find('=');
  uint64_t station = 0;
  if (equals == std::string::npos ||
      !ParseNumber(value.substr(0, equals), 10, kMostStations, station) || station == 0)
    return false;
  settings.stationFaults.emplace_back(station, value.substr(equals + 1));
  return true;
}

// A number option's value into `target`, from `least` to `most`.
template <typename T>
bool Number(const std::string& value, uint64_t least, uint64_t most, T& target) {
  uint64_t number = 0;
  if (!ParseNumber(value, 10, most, number) || number < least)
    return false;
  target = static_cast<T>(number);
  return true;
}

// One option with its value; false for a bad value, or with a message for an unknown option.
bool Value(const std::string& option, const std::string& value, ProgramSettings& settings,
           std::string& error) {
  Options& options = settings.options;
  if (const char* key = ModuleKey(option))
    return SetModuleValue(key, value, settings.module);
  if (option == "--baud")
    return Number(value, 1, 4000000, options.baseBaud);
  if (option == "--scenario")
    return ParseScenario(value, settings.scenario, error);
  if (option == "--page-turnaround")
    return Number(value, 0, 60000, options.pageWriteMs);
  if (option == "--hop-latency")
    return Number(value, 0, 60000, options.hopLatencyMs);
  if (option == "--stations")
    return Number(value, 1, kMostStations, settings.stations);
  if (option == "--air-rate")
    return Number(value, 0, 100000000, settings.airRateBitsPerS);
  if (option == "--station-faults")
    return StationFaults(value, settings);
  if (option == "--module") {
    settings.sequence.push_back(value);
    return true;
  }
  std::string* text = option == "--image-out" ? &settings.imageOut
                      : option == "--images"  ? &settings.imagesDirectory
                      : option == "--log"     ? &settings.logPath
                      : option == "--link"    ? &settings.link
                                              : nullptr;
  if (!text) {
    error = "unknown option: " + option;
    return false;
  }
  *text = value;
  return true;
}

// The faults of station `station` (from 1): --scenario, then its --station-faults.
bool FaultsOf(const ProgramSettings& settings, size_t station, Scenario& faults,
              std::string& error) {
  faults = settings.scenario;
  for (const auto& [number, list] : settings.stationFaults)
    if (number == station && !ParseScenario(list, faults, error)) {
      error = "--station-faults " + std::to_string(number) + "=" + list + ": " + error;
      return false;
    }
  return true;
}

bool CheckCombination(const ProgramSettings& settings, std::string& error) {
  const size_t stations = settings.stations;
  for (const auto& [number, list] : settings.stationFaults)
    if (number > std::max<size_t>(stations, 1))
      error = "--station-faults " + std::to_string(number) + ": there is no such station";
  if (stations == 0 && (settings.openAir || !settings.stationFaults.empty()))
    error = "--open-air and --station-faults need --stations";
  if (stations > 0 && !settings.imageOut.empty())
    error = "--image-out is for one station: use --images with --stations";
  return error.empty();
}

}  // namespace

const char* ProgramUsage() {
  return kUsage;
}

bool ParseProgramArguments(int argc, char** argv, ProgramSettings& settings, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      error.clear();
      return false;
    }
    if (Flag(option, settings))
      continue;
    if (i + 1 >= argc) {
      error = "unknown option or missing value: " + option;
      return false;
    }
    const std::string value = argv[++i];
    if (!Value(option, value, settings, error)) {
      if (error.empty())
        error = "bad value for " + option + ": " + value;
      return false;
    }
  }
  settings.options.pressSetupAfterReportModeMs =
      settings.module.pressSetupAfterReportModeMs.value_or(1000);
  return CheckCombination(settings, error);
}

namespace {

// Today's single station: one module, or a line of them.
std::unique_ptr<Line> SingleStation(const ProgramSettings& settings, std::string& error) {
  LineModule defaults = settings.module;
  defaults.faults = settings.scenario;
  if (settings.sequence.empty())
    return std::make_unique<Line>(
        std::make_unique<Devices>(defaults.params, defaults.faults, settings.options));
  std::vector<LineModule> modules;
  for (const std::string& text : settings.sequence) {
    modules.push_back(defaults);
    if (!ParseLineModule(text, modules.back(), error)) {
      error = "--module " + text + ": " + error;
      return nullptr;
    }
  }
  return std::make_unique<Line>(std::make_unique<Devices>(modules, settings.options));
}

// A module of a line of several: on top of the options' module with its test box's faults, or
// in open air with --scenario's.
bool SeveralModule(const ProgramSettings& settings, const std::vector<Scenario>& faults,
                   const std::string& text, LineModule& entry, std::string& error) {
  LineModule probe = settings.module;
  if (!ParseLineModule(text, probe, error))
    return false;
  if (probe.station > faults.size() || (settings.openAir && probe.station != 1)) {
    error = settings.openAir ? "station= has no place in open air: the modules share one queue"
                             : "there is no station " + std::to_string(probe.station);
    return false;
  }
  entry = settings.module;
  entry.faults = settings.openAir ? settings.scenario : faults[probe.station - 1];
  return ParseLineModule(text, entry, error);
}

}  // namespace

std::unique_ptr<Line> MakeLine(const ProgramSettings& settings, std::string& error) {
  if (settings.stations == 0)
    return SingleStation(settings, error);
  std::vector<Scenario> faults(settings.stations);
  for (size_t k = 0; k < faults.size(); ++k)
    if (!FaultsOf(settings, k + 1, faults[k], error))
      return nullptr;
  std::vector<LineModule> modules;
  for (const std::string& text : settings.sequence) {
    modules.emplace_back();
    if (!SeveralModule(settings, faults, text, modules.back(), error)) {
      error = "--module " + text + ": " + error;
      return nullptr;
    }
  }
  // Without --module: the options' module, in the room or in each test box.
  for (size_t k = 0; settings.sequence.empty() && k < (settings.openAir ? 1 : faults.size()); ++k) {
    modules.push_back(settings.module);
    modules.back().station = k + 1;
    modules.back().faults = settings.openAir ? settings.scenario : faults[k];
  }
  LineOptions line;
  line.stations = settings.stations;
  line.openAir = settings.openAir;
  line.airRateBitsPerS = settings.airRateBitsPerS;
  line.stationFaults = faults;
  return std::make_unique<Line>(std::move(modules), settings.options, line);
}

}  // namespace sim
