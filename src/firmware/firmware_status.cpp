// The firmware description file and the firmware file line of the main dialog.
#include <cstdio>
#include <string>
#include <vector>

#include "core/message_box.h"
#include "firmware/firmware_files.h"
#include "firmware/firmware_texts.h"
#include "ui/control_ids.h"
#include "ui/firmware_update_dlg.h"
#include "ui/main_dialog_texts.h"

void CFirmwareUpdateDlg::ReadFirmwareDescription() {
  const std::string descriptionPath = m_programDirectory + firmware_texts::kDescriptionFileName;
  // Empty means that no update is possible.
  std::string firmwarePath;
  std::vector<std::string> lines;
  if (!ReadTextLines(descriptionPath, 2, lines)) {
    m_controls.MessageBox(std::string(firmware_texts::kDescriptionOpenFailedHead) +
                              firmware_texts::kNameIndent + descriptionPath +
                              firmware_texts::kDescriptionOpenFailedTail,
                          firmware_texts::kCheckCaption, mb::kOk | mb::kIconExclamation);
  } else {
    if (lines.size() > 0)
      m_firmwareVersion = lines[0];
    if (lines.size() > 1)
      m_firmwareFileName = lines[1];
    firmwarePath = m_programDirectory + m_firmwareFileName;
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

bool CFirmwareUpdateDlg::CheckFirmwareFile() {
  const std::string path = FirmwareFilePath();
  std::string dateSuffix;
  bool opened = false;
  if (std::FILE* file = OpenFileForReading(path)) {
    std::tm modified{};
    if (LocalModificationTime(path, modified))
      dateSuffix = FormatFirmwareDateSuffix(modified);
    std::fclose(file);
    opened = true;
  } else {
    m_controls.MessageBox(std::string(firmware_texts::kHexOpenFailedHead) +
                              firmware_texts::kNameIndent + m_firmwareFileName +
                              firmware_texts::kHexOpenFailedTail,
                          firmware_texts::kCheckCaption, mb::kOk | mb::kIconExclamation);
    m_controls.Enable(ids::kBeginUpdate, false);
  }
  m_controls.SetText(ids::kFirmwareFile, std::string(main_texts::kFirmwareFilePrefix) +
                                             m_firmwareFileName + dateSuffix);
  return opened;
}
