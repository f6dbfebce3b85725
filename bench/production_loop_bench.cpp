#include "production_loop_bench.h"

#include <algorithm>
#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "console_commands.h"
#include "core/control_ids.h"
#include "fake_platform.h"
#include "headless_dialog_host.h"
#include "hex_corpus.h"
#include "memory_profile.h"
#include "sim/devices.h"
#include "sim/in_process_serial.h"
#include "temp_directory.h"
#include "ui/firmware_update_dlg.h"
#include "virtual_clock.h"

namespace {
constexpr int kPort = 3;

class NoInput : public ConsoleInput {
 public:
  Event Wait(uint32_t) override { return Event::kNone; }
};
class NoInterrupts : public InterruptCounter {
 public:
  int Count() const override { return 0; }
};

// The line, its serial port on the virtual clock and the firmware, made afresh for each run.
struct Line {
  explicit Line(const LoopBenchSettings& settings) {
    sim::Options options;
    options.baseBaud = settings.baud;
    options.emulateWireTime = true;
    options.pageWriteMs = settings.pageTurnaroundMs;
    options.pressSetupAfterReportModeMs = static_cast<int32_t>(settings.setupButtonAfterMs);
    std::vector<sim::LineModule> modules(static_cast<std::size_t>(settings.modules));
    for (std::size_t i = 0; i < modules.size(); ++i) {
      modules[i].params.moduleId = std::to_string(100001 + i);
      modules[i].params.serialLow = static_cast<uint32_t>(i + 1);
    }
    devices = std::make_unique<sim::Devices>(modules, options);
    serial = std::make_unique<sim::InProcessSerial>(
        *devices, [this] { return clock.Now(); }, kPort);
    firmware.Write("Korvane_Quorvanta_Mobile_Module.txt", "3.05\r\nfirmware.hex\r\n");
    firmware.Write("firmware.hex", ImageHex(settings.pages, 16));
    ports.SetPorts({"COM" + std::to_string(kPort)});
  }
  bool AllUpdated(int modules) const {
    for (int i = 0; i < modules; ++i) {
      if (!devices->UpdateComplete(static_cast<std::size_t>(i)))
        return false;
    }
    return true;
  }

  VirtualClock clock;
  std::unique_ptr<sim::Devices> devices;
  std::unique_ptr<sim::InProcessSerial> serial;
  TempDirectory firmware;
  MemoryProfile profile;
  ScriptedPortList ports;
  NoCompanionWindows companion;
};

template <typename Run>
LoopBenchRun Measure(const LoopBenchSettings& settings, Line& line, Run run) {
  const uint32_t virtualStart = line.clock.Now();
  const auto hostStart = std::chrono::steady_clock::now();
  const bool ok = run() && line.AllUpdated(settings.modules);
  const std::chrono::duration<double, std::micro> host =
      std::chrono::steady_clock::now() - hostStart;
  return {ok, static_cast<double>(line.clock.Now() - virtualStart) / settings.modules,
          host.count() / settings.modules};
}

LoopBenchRun Reference(const LoopBenchSettings& settings) {
  Line line(settings);
  HeadlessDialogHost dialogs(line.clock);
  dialogs.user = [](ModalDialog& dialog, RecordingControls& controls, uint32_t) {
    if (controls.IsEnabled(ids::kStartUpdate))
      dialog.OnCommand(ids::kStartUpdate);
  };
  RecordingControls controls;
  CFirmwareUpdateDlg dialog(FirmwareUpdatePlatform{line.clock, *line.serial, line.profile,
                                                   line.ports, line.companion, dialogs},
                            controls, "kqm-update");
  dialog.SetProgramDirectory(line.firmware.WithSeparator());
  dialog.OnInitDialog();
  return Measure(settings, line, [&] {
    for (int module = 0; module < settings.modules; ++module) {
      dialog.OnBeginUpdate();
      if (dialog.LastOutcome() != UpdateOutcome::kSuccess)
        return false;
    }
    return true;
  });
}

LoopBenchRun ConsoleLoop(const LoopBenchSettings& settings, bool fixedBaud) {
  Line line(settings);
  NoInput input;
  NoInterrupts interrupts;
  std::ostringstream out, err;
  ConsoleOutput output(out, err, false);
  const PortNames portNames;
  ConsoleEnvironment environment{line.clock, *line.serial, line.profile,
                                 line.ports, input,        interrupts,
                                 output,     "kqm-update", line.firmware.WithSeparator(),
                                 portNames};
  ConsoleOptions options;
  options.yes = true;
  options.loop = true;
  options.count = settings.modules;
  options.baud = fixedBaud ? settings.baud : 0;
  return Measure(settings, line, [&] {
    return RunUpdateCommand(environment, options, kPort) == ExitCode::kSuccess;
  });
}
}  // namespace

LoopBenchResult RunLoopBench(const LoopBenchSettings& settings) {
  // In turns, so that the machine's state favours none; each keeps its median host time.
  std::vector<LoopBenchRun> reference, loop, loopBaud;
  for (int round = 0; round < settings.rounds; ++round) {
    reference.push_back(Reference(settings));
    loop.push_back(ConsoleLoop(settings, false));
    loopBaud.push_back(ConsoleLoop(settings, true));
  }
  auto median = [](std::vector<LoopBenchRun>& runs) {
    std::sort(runs.begin(), runs.end(), [](const LoopBenchRun& a, const LoopBenchRun& b) {
      return a.hostUsPerModule < b.hostUsPerModule;
    });
    LoopBenchRun run = runs[runs.size() / 2];
    for (const LoopBenchRun& each : runs) run.ok = run.ok && each.ok;
    return run;
  };
  return {median(reference), median(loop), median(loopBaud)};
}
