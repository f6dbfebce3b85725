#pragma once
#include <string>

// The firmware the program ships with: the description file beside the program and the HEX
// file it names. Plain values; the main dialog shows them and their problems.

// Line 1 of the description file is the firmware version, line 2 the HEX file's name
// relative to the program directory; further lines are ignored.
struct FirmwareDescription {
  bool read = false;  // false when the file cannot be opened
  std::string version;
  std::string fileName;
};

// The program directory followed by the description file's fixed name.
std::string FirmwareDescriptionPath(const std::string& programDirectory);
FirmwareDescription ReadFirmwareDescriptionFile(const std::string& path);

// Whether the HEX file opens, and its date and time as the firmware file line shows them.
struct FirmwareFileStatus {
  bool opened = false;
  // "     (m-d-yyyy, h:mm:ss AM)"; empty when the file cannot be opened.
  std::string dateSuffix;
};
FirmwareFileStatus CheckFirmwareHexFile(const std::string& path);
