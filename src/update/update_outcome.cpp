#include "update/update_outcome.h"

const char* OutcomeName(UpdateOutcome outcome) {
  switch (outcome) {
    case UpdateOutcome::kNotRun:
      return "not_run";
    case UpdateOutcome::kSuccess:
      return "success";
    case UpdateOutcome::kFirmwareFileProblem:
      return "firmware_file_problem";
    case UpdateOutcome::kPortOpenFailed:
      return "port_open_failed";
    case UpdateOutcome::kNoBaseStation:
      return "no_base_station";
    case UpdateOutcome::kConfigurationFailed:
      return "configuration_failed";
    case UpdateOutcome::kBootLoaderSilent:
      return "boot_loader_silent";
    case UpdateOutcome::kTransferFailed:
      return "transfer_failed";
    case UpdateOutcome::kCancelled:
      return "cancelled";
  }
  return "unknown";
}

const char* CancelReasonName(CancelReason reason) {
  switch (reason) {
    case CancelReason::kNone:
      return "none";
    case CancelReason::kOperator:
      return "operator";
    case CancelReason::kSetupTimeout:
      return "setup_timeout";
    case CancelReason::kRefused:
      return "refused";
    case CancelReason::kLinkCut:
      return "link_cut";
  }
  return "unknown";
}
