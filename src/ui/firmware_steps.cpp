// The main dialog's firmware steps: the description file, the firmware file line, the page
// image. The work is the firmware folder's; the dialog shows the results and the problems.
#include <string>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "firmware/firmware_status.h"
#include "firmware/firmware_texts.h"
#include "firmware/page_image.h"
#include "ui/firmware_update_dlg.h"
#include "ui/main_dialog_texts.h"

namespace {
const char* PageImageProblemText(PageImageProblem problem) {
  switch (problem) {
    case PageImageProblem::kCannotCreate:
      return firmware_texts::kCannotCreatePageImage;
    case PageImageProblem::kCannotOpenHexFile:
      return firmware_texts::kCannotOpenHexFile;
    case PageImageProblem::kInvalidHexFile:
      return firmware_texts::kInvalidHexFile;
    case PageImageProblem::kTooLarge:
      return firmware_texts::kPageImageTooLarge;
    case PageImageProblem::kNone:
      break;
  }
  return "";
}
}  // namespace

void CFirmwareUpdateDlg::ReadFirmwareDescription() {
  const std::string descriptionPath = FirmwareDescriptionPath(m_programDirectory);
  // Empty means that no update is possible.
  std::string firmwarePath;
  const FirmwareDescription description = ReadFirmwareDescriptionFile(descriptionPath);
  if (!description.read) {
    m_controls.MessageBox(std::string(firmware_texts::kDescriptionOpenFailedHead) +
                              firmware_texts::kNameIndent + descriptionPath +
                              firmware_texts::kDescriptionOpenFailedTail,
                          firmware_texts::kCheckCaption, mb::kOk | mb::kIconExclamation);
  } else {
    m_firmwareVersion = description.version;
    m_firmwareFileName = description.fileName;
    firmwarePath = FirmwareFilePath();
  }

  m_controls.SetText(ids::kUsageLine, firmware_texts::kUsageLine);

  if (firmwarePath.empty() || !CheckFirmwareFile()) {
    firmwarePath.clear();
    m_firmwareVersion.clear();
    m_firmwareFileName.clear();
  }
  if (firmwarePath.empty())
    m_controls.Enable(ids::kBeginUpdate, false);
}

FirmwareStep CFirmwareUpdateDlg::CheckFirmwareFile() {
  const FirmwareFileStatus status = CheckFirmwareHexFile(FirmwareFilePath());
  FirmwareStep step;
  step.passed = status.opened;
  if (!status.opened) {
    step.message = std::string(firmware_texts::kHexOpenFailedHead) + firmware_texts::kNameIndent +
                   m_firmwareFileName + firmware_texts::kHexOpenFailedTail;
    m_controls.MessageBox(step.message, firmware_texts::kCheckCaption,
                          mb::kOk | mb::kIconExclamation);
    m_controls.Enable(ids::kBeginUpdate, false);
  }
  m_controls.SetText(ids::kFirmwareFile, std::string(main_texts::kFirmwareFilePrefix) +
                                             m_firmwareFileName + status.dateSuffix);
  return step;
}

FirmwareStep CFirmwareUpdateDlg::BuildPageImage() {
  PageImageBuild build = WritePageImageFile(FirmwareFilePath(), PageImagePath());
  FirmwareStep step;
  step.passed = build.Built();
  if (!step.passed) {
    step.message = PageImageProblemText(build.problem);
    m_controls.MessageBox(step.message, firmware_texts::kPageImageCaption, mb::kOk);
  }
  m_pageImage = std::move(build.image);
  step.image = m_pageImage;
  return step;
}

void CFirmwareUpdateDlg::DeletePageImage() {
  DeletePageImageFile(PageImagePath());
  m_pageImage.clear();
}

std::string CFirmwareUpdateDlg::PageImagePath() const {
  return ::PageImagePath(m_programDirectory);
}
