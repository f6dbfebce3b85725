#include "console_session.h"

#include <cctype>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "console_controls.h"
#include "console_dialog_host.h"
#include "console_update_report.h"
#include "core/control_ids.h"
#include "firmware/firmware_files.h"
#include "hex_diagnostic.h"
#include "link_cut.h"
#include "observer_fan_out.h"
#include "production_loop.h"
#include "serial_trace.h"
#include "ui/firmware_update_dlg.h"
#include "ui/main_dialog_texts.h"

namespace {
// A platform whose serial port, port list and dialogs are never used: check and
// --list-ports build the dialog logic for its firmware and port operations only.
class UnusedSerial : public SerialBackend {
 public:
  bool Open(int, const LineSettings&) override { return false; }
  void Close() override {}
  uint32_t BytesWaiting() override { return 0; }
  uint32_t Read(uint8_t*, uint32_t) override { return 0; }
  bool Write(const uint8_t*, uint32_t) override { return false; }
  bool PurgeInput() override { return false; }
};

class NoDialogs : public DialogHost {
 public:
  int RunModal(ModalDialog&) override { return 2; }
};

std::string PortName(ConsoleEnvironment& environment, int port) {
  std::string name = "COM" + std::to_string(port);
  const std::string device = environment.describePort ? environment.describePort(port) : "";
  if (!device.empty())
    name += " (" + device + ")";
  return name;
}

std::string FirmwareDirectory(ConsoleEnvironment& environment, const ConsoleOptions& options) {
  return options.firmwareDirectory.empty() ? environment.programDirectory
                                           : WithTrailingSeparator(options.firmwareDirectory);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file)
    return false;
  file.seekg(0, std::ios::end);
  const std::streamoff length = file.tellg();
  if (length < 0)
    return false;
  file.seekg(0, std::ios::beg);
  bytes.resize(static_cast<std::size_t>(length));
  return static_cast<bool>(file.read(reinterpret_cast<char*>(bytes.data()), length));
}

bool EndsWithCsv(const std::string& path) {
  if (path.size() < 4)
    return false;
  std::string extension = path.substr(path.size() - 4);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".csv";
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  file.close();
  return !file.fail();
}
}  // namespace

std::string WithTrailingSeparator(const std::string& directory) {
  if (directory.empty() || directory.back() == '/' || directory.back() == '\\')
    return directory;
#ifdef _WIN32
  return directory + "\\";
#else
  return directory + "/";
#endif
}

const char* ExitCodeMeaning(ExitCode code) {
  switch (code) {
    case ExitCode::kSuccess:
      return "success";
    case ExitCode::kInternalError:
      return "internal error";
    case ExitCode::kUsage:
      return "bad command line";
    case ExitCode::kFirmwareFile:
      return "firmware file problem";
    case ExitCode::kPortOpen:
      return "the serial port cannot be opened";
    case ExitCode::kNoBaseStation:
      return "no base station answered";
    case ExitCode::kConfiguration:
      return "the module could not be configured";
    case ExitCode::kBootLoaderSilent:
      return "the module's boot loader did not answer";
    case ExitCode::kTransfer:
      return "the transfer failed; the module's firmware may be incomplete";
    case ExitCode::kCancelled:
      return "cancelled";
    case ExitCode::kSetupTimeout:
      return "the module's Setup report did not arrive in time";
    case ExitCode::kStoppedHard:
      return "stopped";
  }
  return "unknown";
}

ExitCode RunUpdateCommand(ConsoleEnvironment& environment, const ConsoleOptions& options,
                          int port) {
  ConsoleOutput& output = environment.output;
  std::ofstream traceFile;
  if (!options.traceFile.empty()) {
    traceFile.open(options.traceFile, std::ios::trunc);
    if (!traceFile) {
      output.ErrorLine("Cannot write the trace file " + options.traceFile);
      return ExitCode::kUsage;
    }
  }
  // Opened before any module is touched, so that a bad path fails at once.
  RecordFile reportFile;
  if (!options.reportFile.empty() && !reportFile.Open(options.reportFile)) {
    output.ErrorLine("Cannot write the report file: " + reportFile.Error());
    return ExitCode::kUsage;
  }

  // The second Ctrl-C cuts the link; the procedure then runs out through its failure paths.
  const InterruptCounter& interrupts = environment.interrupts;
  auto isCut = [&interrupts] { return interrupts.Count() >= 2; };
  HurryingClock clock(environment.clock, isCut);
  CuttableSerial cuttable(environment.serial, isCut);
  std::unique_ptr<TracingSerial> tracing;
  SerialBackend* serial = &cuttable;
  if (traceFile.is_open()) {
    tracing = std::make_unique<TracingSerial>(cuttable, environment.clock, traceFile);
    serial = tracing.get();
  }

  ConsoleMainControls controls(output);
  ConsoleDialogHost dialogs(clock, output, environment.input, interrupts, options.yes);
  dialogs.SetSetupTimeout(options.setupTimeoutMs);
  const FirmwareUpdatePlatform platform{
      clock, *serial, environment.profile, environment.portList, environment.companion, dialogs};
  CFirmwareUpdateDlg dialog(platform, controls, environment.applicationName);
  dialog.SetProgramDirectory(FirmwareDirectory(environment, options));
  if (options.baud != 0)
    dialog.SetUpdateOptions(UpdateOptions{{options.baud}});
  ConsoleUpdateReport report(output);
  ModuleStatistics statistics;
  std::unique_ptr<JsonEventStream> json;
  ObserverFanOut observers;
  observers.Add(report);
  observers.Add(statistics);
  if (options.json && environment.jsonOut != nullptr) {
    json = std::make_unique<JsonEventStream>(*environment.jsonOut);
    observers.Add(*json);
  }
  dialog.SetUpdateObserver(observers);
  dialog.OnInitDialog();

  // The firmware checks disable Begin Update when no update is possible; they have said why.
  if (!controls.IsEnabled(ids::kBeginUpdate))
    return ExitCode::kFirmwareFile;
  if (port != 0)
    controls.CheckRadioButton(ids::kFirstPortButton, ids::kLastPortButton,
                              ids::kFirstPortButton + port - 1);
  const int checked = controls.GetCheckedRadioButton(ids::kFirstPortButton, ids::kLastPortButton);
  if (checked == 0) {
    output.ErrorLine("No serial port found. Give the base station's port with --port.");
    return ExitCode::kPortOpen;
  }
  const int portNumber = checked - ids::kFirstPortButton + 1;
  output.Line("Serial port  =  " + PortName(environment, portNumber));

  ModuleUpdater updater{dialog,     dialogs,       statistics,  output,
                        interrupts, isCut,         &reportFile, EndsWithCsv(options.reportFile),
                        json.get(), ModuleRecord()};
  updater.shared.host = environment.hostName;
  updater.shared.port = "COM" + std::to_string(portNumber);
  updater.shared.device = environment.describePort ? environment.describePort(portNumber) : "";
  updater.shared.firmwareVersion = dialog.FirmwareVersion();
  updater.shared.hexFile = dialog.FirmwareFileName();

  ExitCode code = ExitCode::kSuccess;
  ProductionRun single(true);
  if (options.loop) {
    code = RunProductionLoop(updater, options);
  } else {
    const ModuleRecord record = updater.Run(1);
    code = record.exitCode;
    if (!updater.Keep(record) && code == ExitCode::kSuccess)
      code = ExitCode::kUsage;
    single.Count(record);
  }
  // As Done: the port is closed and a borrowed port given back.
  dialog.OnCancel();
  if (tracing)
    tracing->Flush();

  if (!options.loop)
    output.Line(UpdateSummary(statistics.Facts()));
  if (isCut())
    output.ErrorLine("The serial link was cut on request; the port has been closed.");
  if (!options.loop)
    updater.Finish(code, single.Updated(), single.Failed(), single.Skipped());
  const std::string summary =
      "Exit status " + std::to_string(ToInt(code)) + ": " + ExitCodeMeaning(code) + ".";
  if (code == ExitCode::kSuccess)
    output.Line(summary);
  else
    output.ErrorLine(summary);
  return code;
}

ExitCode RunCheckCommand(ConsoleEnvironment& environment, const ConsoleOptions& options) {
  ConsoleOutput& output = environment.output;
  UnusedSerial serial;
  NoDialogs dialogs;
  ConsoleMainControls controls(output);
  const FirmwareUpdatePlatform platform{environment.clock,     serial,
                                        environment.profile,   environment.portList,
                                        environment.companion, dialogs};
  CFirmwareUpdateDlg dialog(platform, controls, environment.applicationName);
  dialog.SetProgramDirectory(FirmwareDirectory(environment, options));

  dialog.ReadFirmwareDescription();
  controls.SetText(ids::kFirmwareVersion,
                   std::string(main_texts::kFirmwareVersionPrefix) + dialog.FirmwareVersion());
  if (!controls.IsEnabled(ids::kBeginUpdate))
    return ExitCode::kFirmwareFile;

  // The same conversion the update makes, into the same temporary page image.
  if (!dialog.BuildPageImage()) {
    const std::string diagnostic = DiagnoseHexFile(dialog.FirmwareFilePath());
    if (!diagnostic.empty())
      output.ErrorLine(dialog.FirmwareFileName() + ": " + diagnostic);
    return ExitCode::kFirmwareFile;
  }
  std::vector<uint8_t> image;
  const bool read = ReadWholeFile(dialog.PageImagePath(), image);
  dialog.DeletePageImage();
  if (!read) {
    output.ErrorLine("Cannot read the page image " + dialog.PageImagePath());
    return ExitCode::kFirmwareFile;
  }
  output.Line("Page image  =  " + std::to_string(image.size() / 256) + " pages of 256 bytes (" +
              std::to_string(image.size()) + " bytes)");
  if (!options.imageFile.empty()) {
    if (!WriteWholeFile(options.imageFile, image)) {
      output.ErrorLine("Cannot write the page image to " + options.imageFile);
      return ExitCode::kUsage;
    }
    output.Line("Page image written to " + options.imageFile);
  }
  output.Line("The firmware files are valid.");
  return ExitCode::kSuccess;
}

ExitCode RunListPortsCommand(ConsoleEnvironment& environment) {
  UnusedSerial serial;
  NoDialogs dialogs;
  ConsoleMainControls controls(environment.output);
  const FirmwareUpdatePlatform platform{environment.clock,     serial,
                                        environment.profile,   environment.portList,
                                        environment.companion, dialogs};
  CFirmwareUpdateDlg dialog(platform, controls, environment.applicationName);
  dialog.FindSerialPorts();
  const int saved =
      environment.profile.GetInt(profile::kSettingsSection, profile::kComPortEntry, -1);
  int found = 0;
  for (int port = 1; port <= ids::kPortCount; ++port) {
    if (dialog.PortTable()[port - 1] == 0)
      continue;
    ++found;
    environment.output.Line(PortName(environment, port) +
                            (port == saved ? "  (port of the last successful update)" : ""));
  }
  if (found == 0)
    environment.output.Line("No serial ports found.");
  return ExitCode::kSuccess;
}

ExitCode RunConsoleCommand(ConsoleEnvironment& environment, const ConsoleOptions& options,
                           int port) {
  switch (options.command) {
    case ConsoleCommand::kCheck:
      return RunCheckCommand(environment, options);
    case ConsoleCommand::kListPorts:
      return RunListPortsCommand(environment);
    default:
      return RunUpdateCommand(environment, options, port);
  }
}
