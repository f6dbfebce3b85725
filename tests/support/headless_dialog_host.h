#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "core/modal_dialog.h"
#include "recording_controls.h"
#include "virtual_clock.h"

// Runs nested modal dialogs without windows on the virtual clock. Each pass of its loop lets
// the dialog's timer fire once (time moves on by the timer's period), then asks the scripted
// user what to do.
class HeadlessDialogHost : public DialogHost {
 public:
  explicit HeadlessDialogHost(VirtualClock& clock) : clock_(clock) {}

  // Called after every tick with the running dialog, its controls and the milliseconds since
  // the dialog opened. It may press buttons through dialog.OnCommand.
  std::function<void(ModalDialog& dialog, RecordingControls& controls, uint32_t elapsed)> user;
  // A dialog that has not ended after this long is cancelled, so no test can hang.
  uint32_t giveUpAfterMs = 10 * 60 * 1000;

  int RunModal(ModalDialog& dialog) override;

  int runs = 0;
  // The controls of the most recent dialog run, kept for assertions.
  std::shared_ptr<RecordingControls> last;

 private:
  VirtualClock& clock_;
};
