// The update command: the files a run writes, the serial channel with its trace and its cut,
// the observers of the update's events, the presenter and the port, then one module or a loop.
#include <fstream>
#include <memory>
#include <optional>

#include "console_commands.h"
#include "console_firmware.h"
#include "console_presenter.h"
#include "console_update_report.h"
#include "link_cut.h"
#include "observer_fan_out.h"
#include "production_loop.h"
#include "serial/port_discovery.h"
#include "serial_trace.h"
#include "sleeping_clock.h"

namespace {
bool EndsWithCsv(const std::string& path) {
  if (path.size() < 4)
    return false;
  std::string extension = path.substr(path.size() - 4);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".csv";
}

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
        prompt_(clock_, env_.output, env_.input, env_.interrupts, options.yes),
        presenter_(env_.output, prompt_),
        report_(env_.output) {
    prompt_.SetSetupTimeout(options.setupTimeoutMs);
  }

  ExitCode Run(int port);

 private:
  bool OpenFiles();
  void ConnectObservers();
  int ChoosePort(int port);
  ExitCode RunModules(ModuleUpdater& updater);
  ModuleRecord SharedFields(int port) const;
  ExitCode Conclude(ExitCode code, ModuleUpdater& updater);

  ConsoleEnvironment& env_;
  const ConsoleOptions& options_;
  // The second Ctrl-C cuts the link; the procedure then runs out through its failure paths.
  std::function<bool()> isCut_;
  HurryingClock hurrying_;
  SleepingClock clock_;
  CuttableSerial cuttable_;
  std::ofstream traceFile_;
  std::unique_ptr<TracingSerial> tracing_;
  RecordFile reportFile_;
  SetupPrompt prompt_;
  ConsolePresenter presenter_;
  ConsoleUpdateReport report_;
  ModuleStatistics statistics_;
  std::unique_ptr<JsonEventStream> json_;
  ObserverFanOut observers_;
  FirmwareBundle firmware_;
  PageImageInMemory pageImage_;
  // The one module of a run without a loop, counted.
  ProductionRun single_{true};
};

bool UpdateCommand::OpenFiles() {
  if (!options_.traceFile.empty()) {
    traceFile_.open(options_.traceFile, std::ios::trunc);
    if (!traceFile_) {
      env_.output.ErrorLine("Cannot write the trace file " + options_.traceFile);
      return false;
    }
    tracing_ = std::make_unique<TracingSerial>(cuttable_, env_.clock, traceFile_);
  }
  // Opened before any module is touched, so that a bad path fails at once.
  if (!options_.reportFile.empty() && !reportFile_.Open(options_.reportFile)) {
    env_.output.ErrorLine("Cannot write the report file: " + reportFile_.Error());
    return false;
  }
  return true;
}

void UpdateCommand::ConnectObservers() {
  observers_.Add(report_);
  observers_.Add(statistics_);
  if (options_.json && env_.jsonOut != nullptr) {
    json_ = std::make_unique<JsonEventStream>(*env_.jsonOut);
    observers_.Add(*json_);
  }
}

// The port given, else the saved one when the system lists it, else the lowest listed.
int UpdateCommand::ChoosePort(int port) {
  if (port == 0) {
    const int saved = env_.profile.GetInt(profile::kSettingsSection, profile::kComPortEntry, -1);
    port = ChooseComPort(FindComPorts(env_.portList), saved);
  }
  if (port == 0) {
    env_.output.ErrorLine("No serial port found. Give the base station's port with --port.");
    return 0;
  }
  env_.output.Line("Serial port  =  " + PortName(env_, port));
  return port;
}

ModuleRecord UpdateCommand::SharedFields(int port) const {
  ModuleRecord shared;
  shared.host = env_.hostName;
  shared.port = "COM" + std::to_string(port);
  shared.device = env_.describePort ? env_.describePort(port) : "";
  shared.firmwareVersion = firmware_.Version();
  shared.hexFile = firmware_.HexFileName();
  return shared;
}

ExitCode UpdateCommand::Run(int port) {
  if (!OpenFiles())
    return ExitCode::kUsage;
  ConnectObservers();
  if (!LoadFirmware(env_, options_, presenter_, firmware_))
    return ExitCode::kFirmwareFile;
  port = ChoosePort(port);
  if (port == 0)
    return ExitCode::kPortOpen;

  CSerialPort channel(tracing_ ? static_cast<SerialBackend&>(*tracing_) : cuttable_, clock_);
  UpdateOptions updateOptions;
  if (options_.baud != 0)
    updateOptions.baudRates = {options_.baud};
  LinkContext link{channel, clock_, observers_, updateOptions};
  ModuleUpdater updater{link,
                        presenter_,
                        {firmware_, pageImage_, port},
                        prompt_,
                        statistics_,
                        env_.output,
                        env_.profile,
                        env_.interrupts,
                        isCut_,
                        &reportFile_,
                        EndsWithCsv(options_.reportFile),
                        json_.get(),
                        SharedFields(port)};
  const ExitCode code = RunModules(updater);
  channel.Close();
  return Conclude(code, updater);
}

ExitCode UpdateCommand::RunModules(ModuleUpdater& updater) {
  if (options_.loop)
    return RunProductionLoop(updater, options_);
  const ModuleRecord record = updater.Run(1);
  ExitCode code = record.exitCode;
  if (!updater.Keep(record) && code == ExitCode::kSuccess)
    code = ExitCode::kUsage;
  single_.Count(record);
  return code;
}

ExitCode UpdateCommand::Conclude(ExitCode code, ModuleUpdater& updater) {
  if (tracing_)
    tracing_->Flush();
  ConsoleOutput& output = env_.output;
  if (!options_.loop)
    output.Line(UpdateSummary(statistics_.Facts()));
  if (isCut_())
    output.ErrorLine("The serial link was cut on request; the port has been closed.");
  if (!options_.loop)
    updater.Finish(code, single_.Updated(), single_.Failed(), single_.Skipped());
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
    default:
      return RunUpdateCommand(environment, options, port);
  }
}
