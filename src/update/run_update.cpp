// The wireless update procedure: the firmware checks, the base station search, the module set
// up for its boot loader, the paged transfer and the base station restored.
#include <cstdio>
#include <string>
#include <utility>

#include "core/message_box.h"
#include "firmware/firmware_messages.h"
#include "firmware/firmware_texts.h"
#include "update/update_procedure.h"
#include "update/update_steps.h"
#include "update/update_texts.h"

namespace update {
namespace {
UpdateResult Finish(LinkContext& link, UpdateResult result) {
  link.Emit(update_events::UpdateFinished{link.Now(), result.outcome, result.message});
  return result;
}

// A failure of the base station set-up, the port already closed: the result line says why and
// the box says it again.
UpdateResult Failed(UpdatePresenter& presenter, UpdateStage stage, UpdateOutcome outcome,
                    const std::string& status, const std::string& box) {
  presenter.ShowFailure({UpdateFailure::Kind::kLink,
                         status,
                         {box, update_texts::kErrorTitle, mb::kIconExclamation | mb::kOk}});
  UpdateResult result;
  result.outcome = outcome;
  result.message = box;
  result.stage = stage;
  return result;
}

// The firmware file check and the page image, before the port is touched.
bool FirmwareReady(LinkContext& link, UpdatePresenter& presenter, const UpdateJob& job,
                   UpdateResult& result) {
  const bool checked = CheckFirmwareFile(presenter, job.firmware, result.message);
  link.Emit(update_events::FirmwareChecked{link.Now(), checked});
  if (!checked)
    return false;
  const PageImageBuild built = BuildPageImage(presenter, job.firmware, job.pageImage);
  if (!built.Built()) {
    result.message = firmware_messages::PageImageProblemText(built.problem);
    result.hexProblem = built.hexProblem;
    return false;
  }
  link.Emit(update_events::PageImageBuilt{link.Now(), built.PageCount(), built.image.size(),
                                          built.image});
  return true;
}

// The end of an update that reached no boot loader: the base station restored from where
// the preparation left it, then the cancel (quiet) or the failure shown.
UpdateResult ModuleNotPrepared(LinkContext& link, UpdatePresenter& presenter,
                               const PreparedModule& prepared) {
  using Result = PreparedModule::Result;
  if (prepared.result == Result::kCancelled) {
    // No failure: nothing is shown.
    RestoreBaseStation(link, LinkState::kReport);
    UpdateResult result;
    result.outcome = UpdateOutcome::kCancelled;
    result.stage = UpdateStage::kModule;
    result.cancel = prepared.answer.reason;
    result.cancelNote = prepared.answer.note;
    return result;
  }
  UpdateResult result;
  if (prepared.result == Result::kConfigurationFailed) {
    RestoreBaseStation(link, LinkState::kCommands);
    const std::string text = std::string(update_texts::kUnableToConfigure) +
                             update_texts::kFifteenBlanks + update_texts::kTargetModuleId +
                             prepared.report->moduleId;
    result =
        Failed(presenter, UpdateStage::kModule, UpdateOutcome::kConfigurationFailed, text, text);
  } else {
    RestoreBaseStation(link, LinkState::kRelay);
    const std::string status = update_texts::kNoBootLoader;
    result = Failed(presenter, UpdateStage::kModule, UpdateOutcome::kBootLoaderSilent, status,
                    status + update_texts::kFifteenBlanks);
  }
  result.module = prepared.report;
  return result;
}

// From the identified base station to the restored one.
UpdateResult UpdateModule(LinkContext& link, UpdatePresenter& presenter, const UpdateJob& job) {
  const PreparedModule prepared = PrepareModule(link, presenter);
  if (prepared.result != PreparedModule::Result::kBootLoaderListening)
    return ModuleNotPrepared(link, presenter, prepared);
  UpdateResult transferred = TransferHexPages(link, presenter, job);
  RestoreBaseStation(link, LinkState::kRelay);
  transferred.module = prepared.report;
  return transferred;
}
}  // namespace

bool CheckFirmwareFile(UpdatePresenter& presenter, const FirmwareBundle& firmware,
                       std::string& problem) {
  const FirmwareFileStatus status = firmware.CheckHexFile();
  const std::string line =
      firmware_messages::FirmwareFileLine(firmware.HexFileName(), status.dateSuffix);
  if (status.opened) {
    presenter.ShowFirmwareFile(line, nullptr);
    return true;
  }
  const UpdateMessage message{firmware_messages::HexFileOpenFailed(firmware.HexFileName()),
                              firmware_texts::kCheckCaption, mb::kOk | mb::kIconExclamation};
  presenter.ShowFirmwareFile(line, &message);
  problem = message.text;
  return false;
}

PageImageBuild BuildPageImage(UpdatePresenter& presenter, const FirmwareBundle& firmware,
                              PageImageStore& store) {
  PageImageBuild built = store.Build(firmware.HexFilePath());
  if (!built.Built()) {
    presenter.ShowPageImageProblem({firmware_messages::PageImageProblemText(built.problem),
                                    firmware_texts::kPageImageCaption, mb::kOk});
  }
  return built;
}

UpdateResult RunUpdate(LinkContext& link, UpdatePresenter& presenter, const UpdateJob& job) {
  link.Emit(update_events::UpdateStarted{link.Now()});
  UpdateResult result;
  if (!FirmwareReady(link, presenter, job, result)) {
    result.outcome = UpdateOutcome::kFirmwareFileProblem;
    return Finish(link, result);
  }
  presenter.ClearStatus();

  const BaseStationSearch search = FindBaseStation(link, job.port);
  if (search.result == BaseStationSearch::Result::kOpenFailed) {
    char text[64];
    std::snprintf(text, sizeof text, update_texts::kUnableToOpenPort, job.port);
    return Finish(link, Failed(presenter, UpdateStage::kPortOpen, UpdateOutcome::kPortOpenFailed,
                               text, text));
  }
  if (search.result == BaseStationSearch::Result::kNotFound) {
    const std::string status = update_texts::kCannotFindBaseStation;
    return Finish(link, Failed(presenter, UpdateStage::kBaseStation, UpdateOutcome::kNoBaseStation,
                               status, status + update_texts::kFifteenBlanks));
  }
  presenter.ShowBaseStationFound(job.port, search.baud);
  return Finish(link, UpdateModule(link, presenter, job));
}

}  // namespace update
