#include "exit_codes.h"

#include <cstdio>

namespace {
#ifdef _WIN32
#define STOP_REQUESTS "Ctrl-C or Ctrl-Break"
#else
#define STOP_REQUESTS "Ctrl-C or SIGTERM"
#endif

constexpr ExitCodeEntry kExitCodes[] = {
    {ExitCode::kSuccess, "success", "the update succeeded (check: the firmware files are valid)"},
    {ExitCode::kInternalError, "internal error", "internal error"},
    {ExitCode::kUsage, "bad command line, or a file named on it cannot be used",
     "bad command line, or the trace, image or report file cannot be opened"},
    {ExitCode::kFirmwareFile, "firmware file problem",
     "firmware file problem (description file, HEX file or page image)"},
    {ExitCode::kPortOpen, "the serial port cannot be opened",
     "the serial port cannot be opened, or there is no port to use"},
    {ExitCode::kNoBaseStation, "no base station answered", "no base station answered on the port"},
    {ExitCode::kConfiguration, "the module could not be configured",
     "the module could not be configured for the update"},
    {ExitCode::kBootLoaderSilent, "the module's boot loader did not answer",
     "the module's boot loader did not answer"},
    {ExitCode::kTransfer, "the transfer failed; the module's firmware may be incomplete",
     "the transfer failed (the module's firmware may be incomplete)"},
    {ExitCode::kCancelled, "cancelled", "cancelled (end of input, " STOP_REQUESTS ")"},
    {ExitCode::kSetupTimeout, "the module's Setup report did not arrive in time",
     "the module's Setup report did not arrive within --setup-timeout"},
    {ExitCode::kRecordLost, "a record could not be written to the report file",
     "a record could not be written to the report file (the output tells which)"},
    {ExitCode::kStoppedHard, "stopped", "stopped at once by a third Ctrl-C"},
};
}  // namespace

std::span<const ExitCodeEntry> ExitCodeTable() {
  return kExitCodes;
}

const char* ExitCodeMeaning(ExitCode code) {
  for (const ExitCodeEntry& entry : kExitCodes) {
    if (entry.code == code)
      return entry.meaning;
  }
  return "unknown";
}

std::string ExitCodeHelp() {
  std::string help = "Exit status:\n";
  for (const ExitCodeEntry& entry : kExitCodes) {
    char number[16];
    std::snprintf(number, sizeof number, "%5d", ToInt(entry.code));
    help += number + std::string("  ") + entry.explanation + "\n";
  }
  return help;
}

ExitCode ExitCodeFor(const UpdateResult& result) {
  switch (result.outcome) {
    case UpdateOutcome::kSuccess:
      return ExitCode::kSuccess;
    case UpdateOutcome::kFirmwareFileProblem:
      return ExitCode::kFirmwareFile;
    case UpdateOutcome::kTransferFailed:
      return result.cancel == CancelReason::kLinkCut ? ExitCode::kCancelled : ExitCode::kTransfer;
    case UpdateOutcome::kCancelled:
      // A module turned down is no failure: it is recorded as skipped.
      if (result.cancel == CancelReason::kRefused)
        return ExitCode::kSuccess;
      return result.cancel == CancelReason::kSetupTimeout ? ExitCode::kSetupTimeout
                                                          : ExitCode::kCancelled;
    case UpdateOutcome::kPortOpenFailed:
    case UpdateOutcome::kNoBaseStation:
    case UpdateOutcome::kConfigurationFailed:
    case UpdateOutcome::kBootLoaderSilent:
      if (result.cancel == CancelReason::kLinkCut)
        return ExitCode::kCancelled;
      return result.outcome == UpdateOutcome::kPortOpenFailed     ? ExitCode::kPortOpen
             : result.outcome == UpdateOutcome::kNoBaseStation    ? ExitCode::kNoBaseStation
             : result.outcome == UpdateOutcome::kBootLoaderSilent ? ExitCode::kBootLoaderSilent
                                                                  : ExitCode::kConfiguration;
    case UpdateOutcome::kNotRun:
      break;
  }
  return ExitCode::kInternalError;
}
