// The wireless update procedure: the firmware checks, the base station search, the module set
// up for its boot loader, the paged transfer and the base station restored.
#include <cstdio>
#include <string>
#include <utility>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "firmware/hex_page_image.h"
#include "update/update_procedure.h"
#include "update/update_steps.h"
#include "update/update_texts.h"

namespace update {
namespace {
UpdateResult Finish(UpdateContext& context, UpdateOutcome outcome, std::string message) {
  context.Emit(update_events::UpdateFinished{context.Now(), outcome, message});
  return {outcome, std::move(message)};
}

// A failure of the base station set-up, the port already closed: the result line, the box,
// the borrowed port given back.
UpdateResult EndWithFailure(UpdateContext& context, const std::string& status,
                            const std::string& box, UpdateOutcome outcome, bool enablePortButtons) {
  context.controls.SetText(ids::kResult, status);
  context.controls.MessageBox(box, update_texts::kErrorTitle, mb::kIconExclamation | mb::kOk);
  context.host.ReturnPort();
  if (enablePortButtons)
    context.host.EnablePortButtons();
  context.controls.EndWaitCursor();
  return Finish(context, outcome, box);
}

// The firmware file check and the page image, before the port is touched.
bool FirmwareReady(UpdateContext& context, std::string& shown) {
  const FirmwareStep checked = context.host.CheckFirmwareFile();
  context.Emit(update_events::FirmwareChecked{context.Now(), checked.passed});
  if (!checked) {
    shown = checked.message;
    return false;
  }
  const FirmwareStep built = context.host.BuildPageImage();
  if (!built) {
    shown = built.message;
    return false;
  }
  context.Emit(update_events::PageImageBuilt{context.Now(), built.image.size() / kPageSize,
                                             built.image.size(), built.image});
  return true;
}

// The choice of port is frozen until the end.
void FreezePortButtons(DialogControls& controls, int checked) {
  for (int id = ids::kFirstPortButton; id <= ids::kLastPortButton; ++id) {
    if (id != checked)
      controls.Enable(id, false);
  }
}

// The end of an update that reached no boot loader: the base station restored from where
// the preparation left it, then the cancel (quiet) or the failure shown.
UpdateResult ModuleNotPrepared(UpdateContext& context, const PreparedModule& prepared) {
  using Result = PreparedModule::Result;
  if (prepared.result == Result::kCancelled) {
    // No failure: nothing is shown.
    RestoreBaseStation(context, LinkState::kReport);
    context.host.ReturnPort();
    context.host.EnablePortButtons();
    context.controls.EndWaitCursor();
    return Finish(context, UpdateOutcome::kCancelled, "");
  }
  if (prepared.result == Result::kConfigurationFailed) {
    RestoreBaseStation(context, LinkState::kCommands);
    const std::string text = std::string(update_texts::kUnableToConfigure) +
                             update_texts::kFifteenBlanks + update_texts::kTargetModuleId +
                             prepared.moduleId;
    return EndWithFailure(context, text, text, UpdateOutcome::kConfigurationFailed, true);
  }
  RestoreBaseStation(context, LinkState::kRelay);
  const std::string status = update_texts::kNoBootLoader;
  return EndWithFailure(context, status, status + update_texts::kFifteenBlanks,
                        UpdateOutcome::kBootLoaderSilent, true);
}
}  // namespace

UpdateResult RunUpdate(UpdateContext& context) {
  DialogControls& controls = context.controls;
  context.Emit(update_events::UpdateStarted{context.Now()});
  controls.BeginWaitCursor();
  std::string shown;
  if (!FirmwareReady(context, shown)) {
    controls.EndWaitCursor();
    return Finish(context, UpdateOutcome::kFirmwareFileProblem, shown);
  }
  controls.SetText(ids::kBootLoaderVersion, "");
  controls.SetText(ids::kProgress, "");
  controls.SetText(ids::kResult, "");

  const int checked = controls.GetCheckedRadioButton(ids::kFirstPortButton, ids::kLastPortButton);
  const int port = checked - ids::kFirstPortButton + 1;
  const BaseStationSearch search = FindBaseStation(context, port);
  if (search.result == BaseStationSearch::Result::kOpenFailed) {
    char text[64];
    std::snprintf(text, sizeof text, update_texts::kUnableToOpenPort, port);
    return EndWithFailure(context, text, text, UpdateOutcome::kPortOpenFailed, false);
  }
  if (search.result == BaseStationSearch::Result::kNotFound) {
    const std::string status = update_texts::kCannotFindBaseStation;
    return EndWithFailure(context, status, status + update_texts::kFifteenBlanks,
                          UpdateOutcome::kNoBaseStation, true);
  }

  FreezePortButtons(controls, checked);
  const PreparedModule prepared = PrepareModule(context);
  if (prepared.result != PreparedModule::Result::kBootLoaderListening)
    return ModuleNotPrepared(context, prepared);

  const UpdateResult transferred = TransferHexPages(context);
  RestoreBaseStation(context, LinkState::kRelay);
  context.host.EnablePortButtons();
  context.host.ReturnPort();
  controls.EndWaitCursor();
  return Finish(context, transferred.outcome, transferred.message);
}

}  // namespace update
