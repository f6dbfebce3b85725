#include "exit_codes.h"

ExitCode ExitCodeFor(UpdateOutcome outcome, bool linkCut) {
  switch (outcome) {
    case UpdateOutcome::kSuccess:
      return ExitCode::kSuccess;
    case UpdateOutcome::kFirmwareFileProblem:
      return ExitCode::kFirmwareFile;
    case UpdateOutcome::kTransferFailed:
      return ExitCode::kTransfer;
    case UpdateOutcome::kCancelled:
      return ExitCode::kCancelled;
    case UpdateOutcome::kPortOpenFailed:
      return linkCut ? ExitCode::kCancelled : ExitCode::kPortOpen;
    case UpdateOutcome::kNoBaseStation:
      return linkCut ? ExitCode::kCancelled : ExitCode::kNoBaseStation;
    case UpdateOutcome::kConfigurationFailed:
      return linkCut ? ExitCode::kCancelled : ExitCode::kConfiguration;
    case UpdateOutcome::kBootLoaderSilent:
      return linkCut ? ExitCode::kCancelled : ExitCode::kBootLoaderSilent;
    case UpdateOutcome::kNotRun:
      break;
  }
  return ExitCode::kInternalError;
}

std::string ExitCodeHelp() {
  return "Exit status:\n"
         "    0  the update succeeded (check: the firmware files are valid)\n"
         "    1  internal error\n"
         "    2  bad command line, or the trace, image or report file cannot be written\n"
         "    3  firmware file problem (description file, HEX file or page image)\n"
         "    4  the serial port cannot be opened, or there is no port to use\n"
         "    5  no base station answered on the port\n"
         "    6  the module could not be configured for the update\n"
         "    7  the module's boot loader did not answer\n"
         "    8  the transfer failed (the module's firmware may be incomplete)\n"
         "    9  cancelled (end of input, Ctrl-C or SIGTERM)\n"
         "   10  the module's Setup report did not arrive within --setup-timeout\n"
         "  130  stopped at once by a third Ctrl-C\n";
}
