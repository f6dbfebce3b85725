#include "firmware/firmware_status.h"

#include <vector>

#include "firmware/firmware_files.h"
#include "firmware/firmware_texts.h"

std::string FirmwareDescriptionPath(const std::string& programDirectory) {
  return programDirectory + firmware_texts::kDescriptionFileName;
}

FirmwareDescription ReadFirmwareDescriptionFile(const std::string& path) {
  FirmwareDescription description;
  std::vector<std::string> lines;
  description.read = ReadTextLines(path, 2, lines);
  if (lines.size() > 0)
    description.version = lines[0];
  if (lines.size() > 1)
    description.fileName = lines[1];
  return description;
}

FirmwareFileStatus CheckFirmwareHexFile(const std::string& path) {
  FirmwareFileStatus status;
  if (const FileHandle file = OpenFileForReading(path)) {
    status.opened = true;
    std::tm modified{};
    if (LocalModificationTime(path, modified))
      status.dateSuffix = FormatFirmwareDateSuffix(modified);
  }
  return status;
}
