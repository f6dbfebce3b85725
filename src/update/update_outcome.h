#pragma once
#include <string>

// How an update attempt ended. Every outcome has been shown to the user by the time it is
// known; this is for hosts that must report it otherwise (the console's exit status, a
// production record).
enum class UpdateOutcome {
  kNotRun,
  kSuccess,
  kFirmwareFileProblem,
  kPortOpenFailed,
  kNoBaseStation,
  kConfigurationFailed,
  kBootLoaderSilent,
  kTransferFailed,
  kCancelled,
};

// A name for records and logs: "success", "no_base_station", ...
const char* OutcomeName(UpdateOutcome outcome);

// An outcome and the message the user was shown with it (empty on cancel).
struct UpdateResult {
  UpdateOutcome outcome = UpdateOutcome::kNotRun;
  std::string message;
};
