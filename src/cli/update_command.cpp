// The update command with one base station: the firmware, the port, the history and the
// report, then one module or a loop of them, said on the terminal as it happens.
#include <memory>

#include "claim_gate.h"
#include "console_commands.h"
#include "console_firmware.h"
#include "history_attempt.h"
#include "history_command.h"
#include "line_history.h"
#include "line_keeper.h"
#include "production_loop.h"
#include "serial/port_discovery.h"
#include "station.h"
#include "station_tracker.h"

namespace {
// One run of the update command and everything it holds while it runs.
class UpdateCommand {
 public:
  UpdateCommand(ConsoleEnvironment& environment, const ConsoleOptions& options)
      : env_(environment),
        options_(options),
        records_(env_.output),
        totals_(options.loop ? options.count : 0),
        checkPrompt_(env_.clock, env_.output, env_.input, env_.interrupts, false),
        firmwarePresenter_(env_.output, checkPrompt_) {}

  ExitCode Run(int port);

 private:
  bool OpenFiles();
  int ChoosePort(int port);
  // A run that ended before any module could take part still leaves its record.
  ExitCode EndEarly(ExitCode code, const char* result, const std::string& message);
  ExitCode UpdateModules(int port);
  // The port of a successful update, for the next run: its number, and where the system has
  // devices, the device by a name that stays.
  void RememberPort(int port);
  ExitCode Conclude(ExitCode code);

  ConsoleEnvironment& env_;
  const ConsoleOptions& options_;
  RecordKeeper records_;
  LineTotals totals_;
  std::unique_ptr<JsonEventStream> json_;
  // The firmware is checked and shown before the station exists.
  SetupPrompt checkPrompt_;
  ConsolePresenter firmwarePresenter_;
  FirmwareBundle firmware_;
  LineHistory history_;
  bool linkCut_ = false;
};

bool UpdateCommand::OpenFiles() {
  if (options_.json && env_.jsonOut != nullptr)
    json_ = std::make_unique<JsonEventStream>(*env_.jsonOut);
  // Opened before any module is touched, so that a bad path fails at once.
  return options_.reportFile.empty() || records_.OpenReport(options_.reportFile);
}

// The port given, else the saved one when the system lists it, else the lowest listed.
int UpdateCommand::ChoosePort(int port) {
  if (port == 0) {
    // A remembered device that is gone leaves its number behind, which may now name another
    // device: then no saved port counts.
    const bool deviceRemembered =
        !env_.profile.GetString(profile::kSettingsSection, profile::kComPortDeviceEntry, "")
             .empty();
    const int saved = deviceRemembered ? -1
                                       : env_.profile.GetInt(profile::kSettingsSection,
                                                             profile::kComPortEntry, -1);
    port = ChooseComPort(FindComPorts(env_.portList), saved);
  }
  if (port != 0)
    env_.output.Line("Serial port  =  " + PortName(env_, port));
  return port;
}

void UpdateCommand::RememberPort(int port) {
  env_.profile.WriteInt(profile::kSettingsSection, profile::kComPortEntry, port);
  const std::string device = env_.portNames.StableName(port);
  if (!device.empty())
    env_.profile.WriteString(profile::kSettingsSection, profile::kComPortDeviceEntry, device);
}

ExitCode UpdateCommand::Run(int port) {
  if (!OpenFiles())
    return ExitCode::kUsage;
  if (json_)
    json_->SetAttempt(1);
  std::string problem;
  if (!LoadFirmware(env_, options_, firmwarePresenter_, firmware_, problem))
    return EndEarly(ExitCode::kFirmwareFile, "firmware_file_problem", problem);
  port = ChoosePort(port);
  if (port == 0) {
    const std::string message = "No serial port found. Give the base station's port with --port.";
    env_.output.ErrorLine(message);
    return EndEarly(ExitCode::kPortOpen, "port_open_failed", message);
  }
  if (!OpenLineHistory(options_, firmware_, env_.output, history_))
    return ExitCode::kUsage;
  records_.SetHistory(history_.history.get());
  return Conclude(UpdateModules(port));
}

ExitCode UpdateCommand::UpdateModules(int port) {
  const StationIdentity identity{
      1, port, PortName(env_, port),
      StationName(env_.hostName, "COM" + std::to_string(port), env_.portNames.Device(port))};
  Station station(env_, options_, env_.serial, env_.output, firmware_, identity);
  station.FirmwareLineShown(firmwarePresenter_.FirmwareLine());
  if (!options_.traceFile.empty() && !station.OpenTrace(options_.traceFile))
    return ExitCode::kUsage;
  if (json_)
    station.Observe(*json_);
  StationTracker tracker(identity.history, env_.hostName, station.SharedFields().port);
  station.Observe(tracker);
  ClaimGate gate(*history_.history, identity.history, history_.imageSha256, options_.allowRepeat,
                 options_.claimLeaseMs, totals_);
  // A history others share needs the claim renewed and the station's state published; one in
  // memory for this station alone needs neither.
  station.Prompt().SetModuleGate(&gate);
  LineKeeper keeper(*history_.history, history_.shared, env_.clock);
  keeper.Add(gate, tracker);
  if (history_.shared)
    keeper.Start();
  StationRun run{station,       records_,    totals_,
                 &gate,         json_.get(), [this, port] { RememberPort(port); },
                 options_.loop, &tracker};
  if (options_.loop) {
    RunProductionLoop(run, options_, env_.output);
  } else {
    bool kept = true;
    run.Module(1, kept);
    env_.output.Line(UpdateSummary(station.Statistics().Facts()));
  }
  keeper.Stop();
  station.Flush();
  linkCut_ = station.LinkCut();
  return RunExitCode(totals_, records_);
}

ExitCode UpdateCommand::EndEarly(ExitCode code, const char* result, const std::string& message) {
  const ModuleRecord record = EarlyRecord(env_.hostName, firmware_, result, code, message);
  records_.Keep(record, json_.get());
  totals_.Count(record);
  return Conclude(code);
}

ExitCode UpdateCommand::Conclude(ExitCode code) {
  ConsoleOutput& output = env_.output;
  if (linkCut_)
    output.ErrorLine("The serial link was cut on request; the port has been closed.");
  FinishRun(json_.get(), code, totals_.Totals());
  const std::string summary =
      "Exit status " + std::to_string(ToInt(code)) + ": " + ExitCodeMeaning(code) + ".";
  if (code == ExitCode::kSuccess)
    output.Line(summary);
  else
    output.ErrorLine(summary);
  return code;
}
}  // namespace

ExitCode RunUpdateCommand(ConsoleEnvironment& environment, const ConsoleOptions& options,
                          int port) {
  UpdateCommand command(environment, options);
  return command.Run(port);
}

ExitCode RunConsoleCommand(ConsoleEnvironment& environment, const ConsoleOptions& options,
                           const std::vector<int>& ports) {
  switch (options.command) {
    case ConsoleCommand::kCheck:
      return RunCheckCommand(environment, options);
    case ConsoleCommand::kListPorts:
      return RunListPortsCommand(environment);
    case ConsoleCommand::kServe:
      return RunServeCommand(environment, options);
    case ConsoleCommand::kHistory:
      return RunHistoryCommand(environment, options);
    default:
      if (ports.size() > 1)
        return RunLineCommand(environment, options, ports);
      return RunUpdateCommand(environment, options, ports.empty() ? 0 : ports.front());
  }
}
