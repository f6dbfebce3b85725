// tessalink-sim: the simulated base station, radios and module behind a pseudo-terminal, in
// real time. The first line on stdout is the terminal's path; point the update program at it.
#include <signal.h>
#include <time.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "sim/devices.h"
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
    "  --image-out FILE       write the received firmware image when the update completes\n"
    "  --wire-time            bytes take 10 bits at the baud rate on the serial line\n"
    "  --page-turnaround MS   boot loader: good page frame to \"!\" (20)\n"
    "  --hop-latency MS       one radio packet through the air (5)\n"
    "  --exit-after-update    exit once the update is complete and the port is closed\n"
    "  --log FILE             readable log of commands and events (- for stderr)\n"
    "  --link PATH            also make PATH a symbolic link to the terminal\n"
    "faults:\n";

struct Settings {
  sim::ModuleParams module;
  sim::Scenario scenario;
  sim::Options options;
  std::string imageOut;
  std::string logPath;
  std::string link;
  bool exitAfterUpdate = false;
};

// False with a message for a bad command line.
bool ParseArguments(int argc, char** argv, Settings& settings, std::string& error) {
  settings.options.pressSetupAfterReportModeMs = 1000;
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
    if (option == "--baud") {
      ok = ParseNumber(value, 10, 4000000, number) && number > 0;
      settings.options.baseBaud = static_cast<uint32_t>(number);
    } else if (option == "--module-id") {
      ok = !value.empty() && value.size() <= 6;
      settings.module.moduleId = value;
    } else if (option == "--serial") {
      uint64_t low = 0;
      ok = value.size() == 17 && (value[8] == '-' || value[8] == ':' || value[8] == ' ') &&
           ParseNumber(value.substr(0, 8), 16, 0xFFFFFFFF, number) &&
           ParseNumber(value.substr(9), 16, 0xFFFFFFFF, low);
      settings.module.serialHigh = static_cast<uint32_t>(number);
      settings.module.serialLow = static_cast<uint32_t>(low);
    } else if (option == "--pan") {
      ok = ParseNumber(value, 16, 0xFFFF, number);
      settings.module.panId = static_cast<uint16_t>(number);
    } else if (option == "--channel") {
      ok = ParseNumber(value, value.rfind("0x", 0) == 0 ? 16 : 10, 0xFF, number);
      settings.module.channel = static_cast<uint8_t>(number);
    } else if (option == "--scenario") {
      ok = sim::ParseScenario(value, settings.scenario, error);
      if (!ok)
        return false;
    } else if (option == "--setup-after") {
      if (value == "off") {
        settings.options.pressSetupAfterReportModeMs = -1;
      } else {
        ok = ParseNumber(value, 10, 3600000, number);
        settings.options.pressSetupAfterReportModeMs = static_cast<int32_t>(number);
      }
    } else if (option == "--page-turnaround") {
      ok = ParseNumber(value, 10, 60000, number);
      settings.options.pageWriteMs = static_cast<uint32_t>(number);
    } else if (option == "--hop-latency") {
      ok = ParseNumber(value, 10, 60000, number);
      settings.options.hopLatencyMs = static_cast<uint32_t>(number);
    } else if (option == "--image-out") {
      settings.imageOut = value;
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
  return true;
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

  settings.options.tickUs = 1;
  sim::Devices devices(settings.module, settings.scenario, settings.options);
  if (log) {
    devices.SetLogHook([log](const sim::EventLog::Entry& entry) {
      char stamp[32];
      std::snprintf(stamp, sizeof stamp, "%10.3f ", static_cast<double>(entry.timeUs) / 1e6);
      *log << stamp << entry.source << ": " << entry.text << std::endl;
    });
  }

  std::cout << pty.TerminalPath() << std::endl;

  bool imageWritten = false;
  uint32_t completedAt = 0;
  while (!stopSignal) {
    const int waitUs = static_cast<int>(devices.TicksUntilNextActivity(NowUs(), 10000));
    pty.Step(devices, NowUs, waitUs > 0 ? waitUs : 1);
    if (devices.UpdateComplete() && !imageWritten) {
      imageWritten = true;
      completedAt = NowUs();
      if (!settings.imageOut.empty() && !WriteImage(settings.imageOut, devices.FirmwareImage()))
        std::cerr << "tessalink-sim: cannot write " << settings.imageOut << "\n";
    }
    if (!devices.UpdateComplete())
      imageWritten = false;
    // Let the update program finish its exchange with the base station before going away.
    if (imageWritten && settings.exitAfterUpdate &&
        (!pty.PcOpen() || NowUs() - completedAt >= 5000000))
      break;
  }
  pty.RemoveLink();
  return 0;
}
