#pragma once
#include <string>

#include "update/update_outcome.h"

class SetupReport;

// A message box of the update: its text and title exactly as shown, and its icon (mb::
// flags; OK is the only button).
struct UpdateMessage {
  std::string text;
  std::string title;
  unsigned flags = 0;
};

// A failure of the update and what the result line says about it.
struct UpdateFailure {
  enum class Kind {
    kLink,       // the base station or the module's set-up: the result line is the reason
    kTransfer,   // the failure report: the result line is cleared, then says it failed
    kPageImage,  // the page image could not be opened: the result line is cleared only
  };
  Kind kind = Kind::kLink;
  std::string status;  // the result line (empty for kPageImage)
  UpdateMessage message;
};

// The operator's answer to the Setup report prompt.
struct SetupAnswer {
  bool start = false;  // Start Update; otherwise Cancel Update
  CancelReason reason = CancelReason::kOperator;
  std::string note;  // what the host said when it cancelled by itself
};

// Whom the update tells what happens, by purpose. The Windows dialog maps each call onto its
// controls and message boxes; the console prints it; tests record it. Called on the update's
// own thread, in the order things happen.
class UpdatePresenter {
 public:
  virtual ~UpdatePresenter() = default;

  // After each check of the firmware HEX file: the firmware file line. When the file cannot be
  // opened, `problem` is shown first and no update can start until the firmware is there.
  virtual void ShowFirmwareFile(const std::string& line, const UpdateMessage* problem) = 0;
  // The page image could not be built from the HEX file.
  virtual void ShowPageImageProblem(const UpdateMessage& message) = 0;
  // A run, or its transfer, begins: the boot loader, progress and result lines are cleared.
  virtual void ClearStatus() = 0;
  // The base station answered on COM `port`: that port is the run's until it ends.
  virtual void ShowBaseStationFound(int port, uint32_t baud) = 0;
  virtual void ShowBootLoaderVersion(const std::string& line) = 0;
  // Page `page` of `pages` (from 1) goes out for the first time; `line` says so.
  virtual void ShowPageProgress(int page, int pages, const std::string& line) = 0;
  // The module took every page over COM `port` (still open): the result line, then the box.
  virtual void ShowSuccess(int port, const std::string& status, const UpdateMessage& message) = 0;
  virtual void ShowFailure(const UpdateFailure& failure) = 0;
  // The module's Setup report: the presenter shows its instructions and the four values as
  // they arrive (reading them with `report`) until the operator answers. Start Update is only
  // an answer once all four have arrived.
  virtual SetupAnswer AskForSetupReport(SetupReport& report) = 0;
};
