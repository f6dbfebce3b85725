#pragma once
#include <string>

#include "update/update_outcome.h"

// The console program's exit status: 0 only when the module holds the new firmware (or, for
// the other commands, when they did what was asked). Scripts on production lines branch on
// these numbers, so they never change meaning.
enum class ExitCode : int {
  kSuccess = 0,
  kInternalError = 1,
  kUsage = 2,
  kFirmwareFile = 3,
  kPortOpen = 4,
  kNoBaseStation = 5,
  kConfiguration = 6,
  kBootLoaderSilent = 7,
  kTransfer = 8,
  kCancelled = 9,
  // --setup-timeout: the module's Setup report did not arrive in time (Cancel Update taken).
  kSetupTimeout = 10,
  // A third Ctrl-C ends the program on the spot (the system closes the port).
  kStoppedHard = 130,
};

// The exit status for the way an update ended. `linkCut` tells that the user forced a stop
// by cutting the serial link: a failure that follows from it, before anything was written to
// the module, is reported as the cancel it was; a broken transfer stays a transfer failure,
// because the module may now hold partial firmware.
ExitCode ExitCodeFor(UpdateOutcome outcome, bool linkCut);

// The table of exit codes for the help text.
std::string ExitCodeHelp();

inline int ToInt(ExitCode code) {
  return static_cast<int>(code);
}
