#pragma once
#include <span>
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
  // A record could not be written to the report file (a full disk, say).
  kRecordLost = 11,
  // A third Ctrl-C ends the program on the spot (the system closes the port).
  kStoppedHard = 130,
};

// One exit status: what the final line calls it, and what the help and the man page say.
struct ExitCodeEntry {
  ExitCode code;
  const char* meaning;
  const char* explanation;
};

// Every exit status, in numeric order: the one table the help text, the man page and the
// program's last line are made from.
std::span<const ExitCodeEntry> ExitCodeTable();

// "the transfer failed; the module's firmware may be incomplete", for the last line.
const char* ExitCodeMeaning(ExitCode code);

// The help's last section: "Exit status:" and a line per status, the number right-aligned.
std::string ExitCodeHelp();

// The exit status for the way an update ended.
ExitCode ExitCodeFor(const UpdateResult& result);

inline int ToInt(ExitCode code) {
  return static_cast<int>(code);
}
