#include "headless_dialog_host.h"

#include "core/message_box.h"

int HeadlessDialogHost::RunModal(ModalDialog& dialog) {
  ++runs;
  last = std::make_shared<RecordingControls>();
  RecordingControls& controls = *last;
  const uint32_t opened = clock_.Now();
  dialog.OnInitDialog(controls);
  while (!controls.ended) {
    const uint32_t period = controls.timers.empty() ? 10 : controls.timers.begin()->second;
    clock_.Advance(period);
    if (!controls.timers.empty())
      dialog.OnTimer(controls.timers.begin()->first);
    const uint32_t elapsed = clock_.Now() - opened;
    if (user && !controls.ended)
      user(dialog, controls, elapsed);
    if (!controls.ended && elapsed >= giveUpAfterMs)
      dialog.OnCommand(mb::kIdCancel);
  }
  dialog.OnDestroy();
  return controls.endResult;
}
