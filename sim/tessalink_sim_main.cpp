// tessalink-sim: the simulated base station, radios and module behind a pseudo-terminal, in
// real time. The first line on stdout is the terminal's path; point the update program at it.
#include <signal.h>
#include <time.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/devices.h"
#include "sim/line_module.h"
#include "sim/module_files.h"
#include "sim/number_text.h"
#include "sim/pty_link.h"

namespace {

volatile sig_atomic_t stopSignal = 0;
void OnSignal(int signal) {
  stopSignal = signal;
}

// The simulated devices run on microsecond ticks here: a reply is due at a moment that is
// not a whole millisecond, and a real device does not wait for the next one.
uint32_t NowUs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000000 +
                               static_cast<uint64_t>(now.tv_nsec) / 1000);
}

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
    "                         setup-after=MS|off,faults=LIST (faults last; what is\n"
    "                         left out comes from the options above)\n"
    "  --images DIR           write module-N-ID.bin and .txt for each module once its\n"
    "                         end mark has come and once it is taken away\n"
    "  --image-out FILE       write the received firmware image when the update completes\n"
    "  --wire-time            bytes take 10 bits at the baud rate on the serial line\n"
    "  --page-turnaround MS   boot loader: good page frame to \"!\" (20)\n"
    "  --hop-latency MS       one radio packet through the air (5)\n"
    "  --exit-after-update    exit once the update is complete (with --module: once the\n"
    "                         last module is taken away) and the port is closed\n"
    "  --log FILE             readable log of commands and events (- for stderr)\n"
    "  --link PATH            also make PATH a symbolic link to the terminal\n"
    "faults:\n";

struct Settings {
  sim::LineModule module;  // the single module, and what the --module options leave out
  std::vector<std::string> sequence;
  sim::Scenario scenario;
  sim::Options options;
  std::string imageOut;
  std::string imagesDirectory;
  std::string logPath;
  std::string link;
  bool exitAfterUpdate = false;
};

// The options that set a value of the module, by the name the --module text gives it.
const std::pair<const char*, const char*> kModuleOptions[] = {
    {"--module-id", "id"},    {"--serial", "serial"},           {"--pan", "pan"},
    {"--channel", "channel"}, {"--setup-after", "setup-after"},
};

// The module value an option sets, or nullptr.
const char* ModuleKey(const std::string& option) {
  for (const auto& [name, key] : kModuleOptions)
    if (option == name)
      return key;
  return nullptr;
}

// False with a message for a bad command line.
bool ParseArguments(int argc, char** argv, Settings& settings, std::string& error) {
  using sim::ParseNumber;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      error.clear();
      return false;
    }
    if (option == "--wire-time") {
      settings.options.emulateWireTime = true;
      continue;
    }
    if (option == "--exit-after-update") {
      settings.exitAfterUpdate = true;
      continue;
    }
    if (i + 1 >= argc) {
      error = "unknown option or missing value: " + option;
      return false;
    }
    const std::string value = argv[++i];
    uint64_t number = 0;
    bool ok = true;
    if (const char* key = ModuleKey(option)) {
      ok = sim::SetModuleValue(key, value, settings.module);
    } else if (option == "--baud") {
      ok = ParseNumber(value, 10, 4000000, number) && number > 0;
      settings.options.baseBaud = static_cast<uint32_t>(number);
    } else if (option == "--scenario") {
      if (!sim::ParseScenario(value, settings.scenario, error))
        return false;
    } else if (option == "--module") {
      settings.sequence.push_back(value);
    } else if (option == "--page-turnaround") {
      ok = ParseNumber(value, 10, 60000, number);
      settings.options.pageWriteMs = static_cast<uint32_t>(number);
    } else if (option == "--hop-latency") {
      ok = ParseNumber(value, 10, 60000, number);
      settings.options.hopLatencyMs = static_cast<uint32_t>(number);
    } else if (option == "--image-out") {
      settings.imageOut = value;
    } else if (option == "--images") {
      settings.imagesDirectory = value;
    } else if (option == "--log") {
      settings.logPath = value;
    } else if (option == "--link") {
      settings.link = value;
    } else {
      error = "unknown option: " + option;
      return false;
    }
    if (!ok) {
      error = "bad value for " + option + ": " + value;
      return false;
    }
  }
  settings.options.pressSetupAfterReportModeMs =
      settings.module.pressSetupAfterReportModeMs.value_or(1000);
  return true;
}

// The single module of today's options, or the production line the --module options give.
std::unique_ptr<sim::Devices> MakeDevices(const Settings& settings, std::string& error) {
  sim::LineModule defaults = settings.module;
  defaults.faults = settings.scenario;
  if (settings.sequence.empty())
    return std::make_unique<sim::Devices>(defaults.params, defaults.faults, settings.options);
  std::vector<sim::LineModule> modules;
  for (const std::string& text : settings.sequence) {
    modules.push_back(defaults);
    if (!sim::ParseLineModule(text, modules.back(), error)) {
      error = "--module " + text + ": " + error;
      return nullptr;
    }
  }
  return std::make_unique<sim::Devices>(modules, settings.options);
}

bool WriteImage(const std::string& path, const std::vector<uint8_t>& image) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.data()),
            static_cast<std::streamsize>(image.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  std::string error;
  if (!ParseArguments(argc, argv, settings, error)) {
    if (!error.empty())
      std::cerr << "tessalink-sim: " << error << "\n";
    std::cerr << kUsage << sim::ScenarioHelp();
    return error.empty() ? 0 : 2;
  }

  settings.options.tickUs = 1;
  const std::unique_ptr<sim::Devices> made = MakeDevices(settings, error);
  if (!made) {
    std::cerr << "tessalink-sim: " << error << "\n";
    return 2;
  }
  sim::Devices& devices = *made;
  std::error_code failure;
  if (!settings.imagesDirectory.empty() &&
      !std::filesystem::create_directories(settings.imagesDirectory, failure) && failure) {
    std::cerr << "tessalink-sim: cannot make " << settings.imagesDirectory << "\n";
    return 1;
  }

  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  sim::PtyLink pty;
  if (!pty.Open(error) || (!settings.link.empty() && !pty.MakeLink(settings.link, error))) {
    std::cerr << "tessalink-sim: " << error << "\n";
    return 1;
  }

  std::ofstream logFile;
  std::ostream* log = nullptr;
  if (settings.logPath == "-") {
    log = &std::cerr;
  } else if (!settings.logPath.empty()) {
    logFile.open(settings.logPath, std::ios::app);
    if (!logFile) {
      std::cerr << "tessalink-sim: cannot write " << settings.logPath << "\n";
      return 1;
    }
    log = &logFile;
  }
  if (log) {
    auto write = [log](const sim::EventLog::Entry& entry) {
      char stamp[32];
      std::snprintf(stamp, sizeof stamp, "%10.3f ", static_cast<double>(entry.timeUs) / 1e6);
      *log << stamp << entry.source << ": " << entry.text << std::endl;
    };
    for (const sim::EventLog::Entry& entry : devices.Log().Entries()) write(entry);
    devices.SetLogHook(write);
  }

  std::cout << pty.TerminalPath() << std::endl;

  sim::ModuleFiles files(settings.imagesDirectory);
  const bool productionLine = !settings.sequence.empty();
  bool imageWritten = false;
  bool finished = false;  // the update complete, or every module of the line taken away
  uint32_t finishedAt = 0;
  while (!stopSignal) {
    const int waitUs = static_cast<int>(devices.TicksUntilNextActivity(NowUs(), 10000));
    pty.Step(devices.GetStation(), NowUs, waitUs > 0 ? waitUs : 1);
    if (devices.UpdateComplete() && !imageWritten) {
      imageWritten = true;
      if (!settings.imageOut.empty() && !WriteImage(settings.imageOut, devices.FirmwareImage()))
        std::cerr << "tessalink-sim: cannot write " << settings.imageOut << "\n";
    }
    if (!devices.UpdateComplete())
      imageWritten = false;
    if (!settings.imagesDirectory.empty() && !files.Update(devices, error))
      std::cerr << "tessalink-sim: " << error << "\n";
    const bool done =
        productionLine ? devices.CurrentModule() == devices.ModuleCount() : imageWritten;
    if (done && !finished)
      finishedAt = NowUs();
    finished = done;
    // Let the update program finish its exchange with the base station before going away.
    if (finished && settings.exitAfterUpdate && (!pty.PcOpen() || NowUs() - finishedAt >= 5000000))
      break;
  }
  pty.RemoveLink();
  return 0;
}
