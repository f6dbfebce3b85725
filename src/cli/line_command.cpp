// The update command with several base stations: a line. Each station runs its modules on a
// thread of its own, with its own serial channel, clocks, presenter and Setup prompt, quietly;
// the terminal shows the line at a glance. They share the firmware, the history with its
// claims, the records and the line's count.
#include <atomic>
#include <memory>
#include <sstream>
#include <vector>

#include "claim_gate.h"
#include "console_commands.h"
#include "console_firmware.h"
#include "history_attempt.h"
#include "line_history.h"
#include "line_keeper.h"
#include "line_view.h"
#include "production_loop.h"
#include "station.h"
#include "station_tracker.h"
#include "text_fields.h"

namespace {
// A failing station is tried again after these pauses, then every last one.
constexpr uint32_t kRetryPausesMs[] = {2000, 4000, 8000, 16000, 30000};

// One station of the line and what is its alone.
struct LineStation {
  LineStation(ConsoleEnvironment& env, const ConsoleOptions& options,
              const FirmwareBundle& firmware, const StationIdentity& identity, LineHistory& history,
              LineTotals& totals)
      : serial(env.newSerial()),
        quiet(discard, discard, false),
        station(env, options, *serial, quiet, firmware, identity),
        tracker(identity.history, env.hostName,
                station.SharedFields().device.empty() ? station.SharedFields().port
                                                      : station.SharedFields().device),
        gate(*history.history, identity.history, history.imageSha256, options.allowRepeat,
             options.claimLeaseMs, totals) {
    station.Observe(tracker);
  }

  std::unique_ptr<SerialBackend> serial;
  std::ostringstream discard;  // what a station alone would say: the view says it instead
  ConsoleOutput quiet;
  Station station;
  StationTracker tracker;
  ClaimGate gate;
  std::unique_ptr<JsonEventStream> json;
};

class LineCommand {
 public:
  LineCommand(ConsoleEnvironment& environment, const ConsoleOptions& options)
      : env_(environment),
        options_(LineOptions(options)),
        records_(env_.output),
        totals_(options.count),
        checkPrompt_(env_.clock, env_.output, env_.input, env_.interrupts, true),
        firmwarePresenter_(env_.output, checkPrompt_),
        view_(env_.output, totals_, env_.clock) {}

  ExitCode Run(const std::vector<int>& ports);

 private:
  // The firmware, files and stations, kSuccess when all are there; else the exit status.
  ExitCode Prepare(const std::vector<int>& ports);
  // The line's totals and exit status, the run's last lines.
  ExitCode Finish();
  // A station's modules, one after another, until the line stops; a failing station is tried
  // again after a pause, growing, while the others go on.
  void RunStation(LineStation& line);
  bool Stopping() const { return env_.interrupts.Count() > 0 || totals_.CountReached(); }
  // Waits `milliseconds`, or less when the line stops meanwhile.
  void PauseUnlessStopping(uint32_t milliseconds);
  // Waits while every place left in the count belongs to a module under way at another station:
  // a module here could only be turned down, and the base station and radio set up for it (some
  // 6 s) would hold up the line's end once the count is reached.
  void WaitForPlace();

  // A line's stations start each update as soon as its module's values are there: nobody
  // could tell which station an Enter is for.
  static ConsoleOptions LineOptions(ConsoleOptions options) {
    options.yes = true;
    options.loop = true;
    return options;
  }

  ConsoleEnvironment& env_;
  const ConsoleOptions options_;
  RecordKeeper records_;
  LineTotals totals_;
  SetupPrompt checkPrompt_;
  ConsolePresenter firmwarePresenter_;
  FirmwareBundle firmware_;
  LineHistory history_;
  LineView view_;
  Mutex jsonLock_;
  std::unique_ptr<JsonEventStream> json_;
  std::vector<std::unique_ptr<LineStation>> stations_;
  std::atomic<std::size_t> stationsStopped_{0};
};

ExitCode LineCommand::Prepare(const std::vector<int>& ports) {
  if (!options_.reportFile.empty() && !records_.OpenReport(options_.reportFile))
    return ExitCode::kUsage;
  if (options_.json && env_.jsonOut != nullptr) {
    json_ = std::make_unique<JsonEventStream>(*env_.jsonOut);
    json_->ShareWith("", &jsonLock_);
  }
  std::string problem;
  if (!LoadFirmware(env_, options_, firmwarePresenter_, firmware_, problem)) {
    // As one station would: a record of why, and the line's end.
    const ModuleRecord record = EarlyRecord(env_.hostName, firmware_, "firmware_file_problem",
                                            ExitCode::kFirmwareFile, problem);
    records_.Keep(record, json_.get());
    totals_.Count(record);
    return ExitCode::kFirmwareFile;
  }
  if (!OpenLineHistory(options_, firmware_, env_.output, history_))
    return ExitCode::kUsage;
  records_.SetHistory(history_.history.get());
  for (std::size_t i = 0; i < ports.size(); ++i) {
    const int port = ports[i];
    const StationIdentity identity{
        static_cast<int>(i + 1), port, PortName(env_, port),
        StationName(env_.hostName, "COM" + std::to_string(port), env_.portNames.Device(port))};
    auto line =
        std::make_unique<LineStation>(env_, options_, firmware_, identity, history_, totals_);
    if (!options_.traceFile.empty() &&
        !line->station.OpenTrace(options_.traceFile + "." + std::to_string(i + 1)))
      return ExitCode::kUsage;
    if (json_) {
      line->json = std::make_unique<JsonEventStream>(*env_.jsonOut);
      line->json->ShareWith(identity.history, &jsonLock_);
      line->station.Observe(*line->json);
    }
    line->station.Prompt().SetModuleGate(&line->gate);
    line->station.Prompt().SetStop([this] { return Stopping(); });
    view_.Add(line->tracker, identity.name);
    line->tracker.OnChange([this] { view_.Changed(); });
    stations_.push_back(std::move(line));
  }
  return ExitCode::kSuccess;
}

void LineCommand::PauseUnlessStopping(uint32_t milliseconds) {
  const uint32_t start = env_.clock.TickCount();
  while (!Stopping() && !Elapsed(env_.clock.TickCount(), start, milliseconds))
    env_.clock.Sleep(100);
}

void LineCommand::WaitForPlace() {
  while (!Stopping() && !totals_.PlaceLeft()) env_.clock.Sleep(100);
}

void LineCommand::RunStation(LineStation& line) {
  StationRun run{line.station,    records_, totals_, &line.gate,
                 line.json.get(), {},       true,    &line.tracker};
  std::size_t failures = 0;  // in a row
  for (int attempt = 1;; ++attempt) {
    WaitForPlace();
    if (Stopping())
      break;
    bool kept = true;
    const ModuleRecord record = run.Module(attempt, kept);
    if (StoppedWhileWaiting(record) || !kept || line.station.LinkCut())
      break;
    view_.ModuleEnded(line.tracker, record);
    if (!StationFailed(record)) {
      failures = 0;
      continue;
    }
    if (record.result == "firmware_file_problem")
      break;
    // The port gone, the base station silent: said once, then tried again after a pause.
    line.tracker.SetState("retrying");
    const std::size_t last = std::size(kRetryPausesMs) - 1;
    PauseUnlessStopping(kRetryPausesMs[failures < last ? failures : last]);
    ++failures;
  }
  line.tracker.SetState("stopped");
}

ExitCode LineCommand::Run(const std::vector<int>& ports) {
  if (const ExitCode prepared = Prepare(ports); prepared != ExitCode::kSuccess)
    return prepared == ExitCode::kFirmwareFile ? Finish() : prepared;
  env_.output.Line("Production line: " + std::to_string(stations_.size()) +
                   " stations. Put modules into their Setup mode; Ctrl-C stops the line.");
  LineKeeper keeper(*history_.history, history_.shared, env_.clock);
  for (auto& line : stations_) keeper.Add(line->gate, line->tracker);
  keeper.Start();
  {
    std::vector<std::unique_ptr<WorkerThread>> threads;
    for (auto& line : stations_) {
      threads.push_back(std::make_unique<WorkerThread>([this, &line] {
        RunStation(*line);
        ++stationsStopped_;
      }));
    }
    // Meanwhile the view shows the changes it held back, until every station has stopped.
    while (stationsStopped_ < stations_.size()) {
      env_.clock.Sleep(100);
      view_.CatchUp();
    }
  }
  keeper.Stop();
  view_.Draw();
  for (auto& line : stations_) line->station.Flush();
  return Finish();
}

ExitCode LineCommand::Finish() {
  const ExitCode code = RunExitCode(totals_, records_);
  FinishRun(json_.get(), code, totals_.Totals());
  std::string totals = "Line finished: " + totals_.TotalsText();
  if (const uint32_t mean = totals_.MeanModuleMs(); mean != 0)
    totals += "; " + SecondsText(mean) + " per module on average";
  env_.output.Line(totals + ".");
  const std::string summary =
      "Exit status " + std::to_string(ToInt(code)) + ": " + ExitCodeMeaning(code) + ".";
  if (code == ExitCode::kSuccess)
    env_.output.Line(summary);
  else
    env_.output.ErrorLine(summary);
  return code;
}
}  // namespace

ExitCode RunLineCommand(ConsoleEnvironment& environment, const ConsoleOptions& options,
                        const std::vector<int>& ports) {
  LineCommand command(environment, options);
  return command.Run(ports);
}
