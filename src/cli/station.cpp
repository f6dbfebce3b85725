#include "station.h"

#include "hex_diagnostic.h"
#include "update/update_procedure.h"

ModuleRecord RecordOf(const ModuleRecord& shared, int attempt, const UpdateResult& result,
                      const ModuleFacts& facts) {
  ModuleRecord record = shared;
  record.attempt = attempt;
  record.facts = facts;
  record.exitCode = ExitCodeFor(result);
  // What the user was shown about a result that is not a success.
  record.message = result.outcome == UpdateOutcome::kSuccess ? "" : result.message;
  if (result.cancel == CancelReason::kRefused) {
    record.result = "skipped";
    record.message = result.cancelNote;
  } else if (result.cancel == CancelReason::kSetupTimeout) {
    record.result = "setup_timeout";
    record.message = result.cancelNote;
  } else {
    record.result =
        record.exitCode == ExitCode::kCancelled ? "cancelled" : OutcomeName(result.outcome);
  }
  return record;
}

Station::Station(ConsoleEnvironment& environment, const ConsoleOptions& options,
                 SerialBackend& serial, ConsoleOutput& output, const FirmwareBundle& firmware,
                 StationIdentity identity)
    : env_(environment),
      options_(options),
      identity_(std::move(identity)),
      output_(output),
      isCut_([this] { return env_.interrupts.Count() >= 2; }),
      hurrying_(env_.clock, isCut_),
      clock_(hurrying_),
      cuttable_(serial, isCut_),
      realTime_(env_.clock, observers_, isCut_),
      prompt_(clock_, output, env_.input, env_.interrupts, options.yes),
      presenter_(output, prompt_),
      progress_(output),
      transferWatch_(env_.interrupts),
      firmware_(firmware) {
  prompt_.SetSetupTimeout(options.setupTimeoutMs);
  presenter_.SetLinkCut(isCut_);
  observers_.Add(progress_);
  observers_.Add(statistics_);
  observers_.Add(transferWatch_);
}

Station::~Station() = default;

bool Station::OpenTrace(const std::string& path) {
  traceFile_.open(path, std::ios::trunc);
  if (!traceFile_) {
    output_.ErrorLine("Cannot write the trace file " + path);
    return false;
  }
  tracing_ = std::make_unique<TracingSerial>(cuttable_, env_.clock, traceFile_);
  traceNotes_ = std::make_unique<TraceNotes>(*tracing_);
  observers_.Add(*traceNotes_);
  return true;
}

ModuleRecord Station::SharedFields() const {
  ModuleRecord shared;
  shared.host = env_.hostName;
  shared.port = "COM" + std::to_string(identity_.port);
  shared.device = env_.portNames.Device(identity_.port);
  shared.station = identity_.history;
  shared.firmwareVersion = firmware_.Version();
  shared.hexFile = firmware_.HexFileName();
  return shared;
}

std::string Station::FailureDetail(const UpdateResult& result) const {
  switch (result.outcome) {
    case UpdateOutcome::kPortOpenFailed:
      return link_->port.OpenFailure();
    case UpdateOutcome::kNoBaseStation:
      if (link_->options.baudRates.size() != 1)
        return {};
      return "Only " + std::to_string(link_->options.baudRates.front()) +
             " baud was tried (--baud): without --baud all six rates are searched.";
    case UpdateOutcome::kFirmwareFileProblem:
      if (result.hexProblem.kind == HexProblem::Kind::kNone)
        return {};
      return firmware_.HexFileName() + ": " + DescribeHexProblem(result.hexProblem) +
             ". kqm-update check shows it without a module.";
    default:
      return {};
  }
}

ModuleRecord Station::Run(int attempt, const std::function<void()>& rememberPort) {
  if (!link_) {
    channel_ = std::make_unique<CSerialPort>(
        tracing_ ? static_cast<SerialBackend&>(*tracing_) : cuttable_, clock_);
    UpdateOptions updateOptions;
    if (options_.baud != 0)
      updateOptions.baudRates = {options_.baud};
    link_ = std::make_unique<LinkContext>(LinkContext{*channel_, clock_, realTime_, updateOptions});
  }
  UpdateResult result =
      update::RunUpdate(*link_, presenter_, {firmware_, pageImage_, identity_.port});
  pageImage_.Discard();
  if (result.outcome == UpdateOutcome::kSuccess && rememberPort)
    rememberPort();
  if (isCut_() && result.outcome != UpdateOutcome::kSuccess)
    result.cancel = CancelReason::kLinkCut;
  const std::string detail = isCut_() ? "" : FailureDetail(result);
  if (!detail.empty()) {
    output_.ErrorLine(detail);
    result.message += "\n" + detail;
  }
  return RecordOf(SharedFields(), attempt, result, statistics_.Facts());
}

void Station::Flush() {
  if (channel_)
    channel_->Close();
  if (tracing_)
    tracing_->Flush();
}
