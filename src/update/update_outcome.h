#pragma once
#include <optional>
#include <string>

#include "firmware/hex_page_image.h"

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

// How far a run got before it ended: what the host has to put back (the port buttons, a
// borrowed port) depends on it.
enum class UpdateStage {
  kFirmware,     // the firmware checks or the page image stopped it; no port was touched
  kPortOpen,     // the port could not be opened
  kBaseStation,  // no base station answered
  kModule,       // the module was not ready for its boot loader (or the user cancelled)
  kTransfer,     // a boot loader answered: the transfer ran
};

// Why Cancel Update was taken, when it was.
enum class CancelReason {
  kNone,
  kOperator,      // the user: Cancel Update, end of input, Ctrl-C
  kSetupTimeout,  // the Setup report did not come in time
  kRefused,       // the host turned the module down (already updated, claimed elsewhere)
  kLinkCut,       // the host cut the serial link under the update
};
const char* CancelReasonName(CancelReason reason);

// The module's four control parameters as its Setup report gave them.
struct ModuleReport {
  std::string moduleId;
  std::string networkSerial;
  std::string panId;
  std::string rfChannel;
};

// How a run ended, as the host needs it.
struct UpdateResult {
  UpdateOutcome outcome = UpdateOutcome::kNotRun;
  // The message the user was shown with it; empty on cancel.
  std::string message;
  UpdateStage stage = UpdateStage::kFirmware;
  CancelReason cancel = CancelReason::kNone;
  // What the host said when it took Cancel Update itself (a refusal, a time-out).
  std::string cancelNote;
  // Once the whole Setup report arrived and Start Update was taken.
  std::optional<ModuleReport> module;
  // A HEX file the conversion refused: where and why.
  HexProblem hexProblem;
};
