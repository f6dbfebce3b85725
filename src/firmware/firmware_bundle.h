#pragma once
#include <string>

#include "firmware/firmware_status.h"
#include "firmware/page_image.h"

// The firmware an update sends, as it lies in one folder: the description file with its fixed
// name, and the HEX file it names. Plain file work with results as values; the hosts show them.
class FirmwareBundle {
 public:
  // `directory` with its trailing separator, or empty for the current directory.
  explicit FirmwareBundle(std::string directory = {}) : directory_(std::move(directory)) {}

  void SetDirectory(std::string directory) { directory_ = std::move(directory); }
  const std::string& Directory() const { return directory_; }
  std::string DescriptionPath() const { return FirmwareDescriptionPath(directory_); }

  // Reads the description file and keeps its version and HEX file name; false (and nothing
  // kept) when it cannot be opened.
  bool ReadDescription();
  // No firmware: the version and the HEX file name are forgotten.
  void Forget() { description_ = {}; }
  const std::string& Version() const { return description_.version; }
  const std::string& HexFileName() const { return description_.fileName; }
  std::string HexFilePath() const { return directory_ + description_.fileName; }

  FirmwareFileStatus CheckHexFile() const { return CheckFirmwareHexFile(HexFilePath()); }
  // The HEX file converted into the page image, in memory.
  PageImageBuild ConvertHexFile() const { return ConvertHexFileToPages(HexFilePath()); }

 private:
  std::string directory_;
  FirmwareDescription description_;
};
