// The update command: the files a run writes, the serial channel with its trace and its cut,
// the observers of the update's events, the presenter and the port, then one module or a loop.
#include <fstream>
#include <memory>

#include "console_commands.h"
#include "console_firmware.h"
#include "console_presenter.h"
#include "console_update_report.h"
#include "history_command.h"
#include "link_cut.h"
#include "observer_fan_out.h"
#include "production_loop.h"
#include "real_time_events.h"
#include "serial/port_discovery.h"
#include "serial_trace.h"
#include "sleeping_clock.h"
#include "text_fields.h"
#include "transfer_watch.h"

namespace {
// One run of the update command and everything it holds while it runs.
class UpdateCommand {
 public:
  UpdateCommand(ConsoleEnvironment& environment, const ConsoleOptions& options)
      : env_(environment),
        options_(options),
        isCut_([this] { return env_.interrupts.Count() >= 2; }),
        hurrying_(env_.clock, isCut_),
        clock_(hurrying_),
        cuttable_(env_.serial, isCut_),
        realTime_(env_.clock, observers_, isCut_),
        prompt_(clock_, env_.output, env_.input, env_.interrupts, options.yes),
        presenter_(env_.output, prompt_),
        progress_(env_.output),
        transferWatch_(env_.interrupts),
        records_(env_.output, nullptr),
        run_(options.allowRepeat) {
    prompt_.SetSetupTimeout(options.setupTimeoutMs);
    presenter_.SetLinkCut(isCut_);
  }

  ExitCode Run(int port);

 private:
  bool OpenFiles();
  void ConnectObservers();
  int ChoosePort(int port);
  ModuleRecord SharedFields(int port) const;
  // The port of a successful update, for the next run: its number, and where the system has
  // devices, the device by a name that stays.
  void RememberPort(int port);
  ExitCode UpdateModules(int port);
  // A run that ended before any module could take part still leaves its record.
  ExitCode EndEarly(ExitCode code, const char* result, const std::string& message);
  ExitCode Conclude(ExitCode code);

  ConsoleEnvironment& env_;
  const ConsoleOptions& options_;
  // The second Ctrl-C cuts the link; the procedure then runs out through its failure paths.
  std::function<bool()> isCut_;
  HurryingClock hurrying_;
  SleepingClock clock_;
  CuttableSerial cuttable_;
  std::ofstream traceFile_;
  std::unique_ptr<TracingSerial> tracing_;
  std::unique_ptr<TraceNotes> traceNotes_;
  ObserverFanOut observers_;
  RealTimeEvents realTime_;
  SetupPrompt prompt_;
  ConsolePresenter presenter_;
  ConsoleUpdateReport progress_;
  TransferWatch transferWatch_;
  ModuleStatistics statistics_;
  std::unique_ptr<JsonEventStream> json_;
  RecordKeeper records_;
  FirmwareBundle firmware_;
  PageImageInMemory pageImage_;
  ProductionRun run_;
};

bool UpdateCommand::OpenFiles() {
  if (!options_.traceFile.empty()) {
    traceFile_.open(options_.traceFile, std::ios::trunc);
    if (!traceFile_) {
      env_.output.ErrorLine("Cannot write the trace file " + options_.traceFile);
      return false;
    }
    tracing_ = std::make_unique<TracingSerial>(cuttable_, env_.clock, traceFile_);
    traceNotes_ = std::make_unique<TraceNotes>(*tracing_);
  }
  // Opened before any module is touched, so that a bad path fails at once.
  return options_.reportFile.empty() || records_.OpenReport(options_.reportFile);
}

void UpdateCommand::ConnectObservers() {
  observers_.Add(progress_);
  observers_.Add(statistics_);
  observers_.Add(transferWatch_);
  if (traceNotes_)
    observers_.Add(*traceNotes_);
  if (options_.json && env_.jsonOut != nullptr) {
    json_ = std::make_unique<JsonEventStream>(*env_.jsonOut);
    observers_.Add(*json_);
    records_.SetJson(json_.get());
  }
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

ModuleRecord UpdateCommand::SharedFields(int port) const {
  ModuleRecord shared;
  shared.host = env_.hostName;
  shared.port = port != 0 ? "COM" + std::to_string(port) : "";
  shared.device = port != 0 ? env_.portNames.Device(port) : "";
  shared.firmwareVersion = firmware_.Version();
  shared.hexFile = firmware_.HexFileName();
  return shared;
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
  ConnectObservers();
  records_.BeginAttempt(1);
  std::string problem;
  if (!LoadFirmware(env_, options_, presenter_, firmware_, problem))
    return EndEarly(ExitCode::kFirmwareFile, "firmware_file_problem", problem);
  port = ChoosePort(port);
  if (port == 0) {
    const std::string message = "No serial port found. Give the base station's port with --port.";
    env_.output.ErrorLine(message);
    return EndEarly(ExitCode::kPortOpen, "port_open_failed", message);
  }
  return Conclude(UpdateModules(port));
}

ExitCode UpdateCommand::UpdateModules(int port) {
  CSerialPort channel(tracing_ ? static_cast<SerialBackend&>(*tracing_) : cuttable_, clock_);
  UpdateOptions updateOptions;
  if (options_.baud != 0)
    updateOptions.baudRates = {options_.baud};
  LinkContext link{channel, clock_, realTime_, updateOptions};
  ModuleUpdater updater{link,         presenter_,         {firmware_, pageImage_, port},
                        prompt_,      statistics_,        env_.output,
                        env_.profile, env_.interrupts,    isCut_,
                        records_,     SharedFields(port), [this, port] { RememberPort(port); }};
  if (options_.loop) {
    RunProductionLoop(updater, run_, options_);
  } else {
    const ModuleRecord record = updater.Run(1);
    records_.Keep(record);
    run_.Count(record);
    env_.output.Line(UpdateSummary(statistics_.Facts()));
  }
  channel.Close();
  return RunExitCode(run_, records_);
}

ExitCode UpdateCommand::EndEarly(ExitCode code, const char* result, const std::string& message) {
  ModuleRecord record = SharedFields(0);
  record.attempt = 1;
  record.facts.start = std::chrono::system_clock::now();
  record.result = result;
  record.exitCode = code;
  record.message = message;
  records_.Keep(record);
  run_.Count(record);
  return Conclude(code);
}

ExitCode UpdateCommand::Conclude(ExitCode code) {
  if (tracing_)
    tracing_->Flush();
  ConsoleOutput& output = env_.output;
  if (isCut_())
    output.ErrorLine("The serial link was cut on request; the port has been closed.");
  records_.Finish(code, run_.Totals());
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
                           int port) {
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
      return RunUpdateCommand(environment, options, port);
  }
}
