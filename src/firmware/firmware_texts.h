#pragma once

// File names and the texts the firmware file checks and the page image show, byte for byte
// (the trailing blanks are part of the texts).
namespace firmware_texts {
constexpr const char kDescriptionFileName[] = "Korvane_Quorvanta_Mobile_Module.txt";
constexpr const char kPageImageFileName[] = "Hex.tmp";

// The main dialog's firmware lines.
constexpr const char kFirmwareVersionPrefix[] = "Firmware version  =  ";
constexpr const char kFirmwareFilePrefix[] = "Firmware file  =  ";

constexpr const char kUsageLine[] =
    "Use to update Korvane Quorvanta Mobile Module firmware via a wireless connection.";

// Firmware file checks: caption and texts.
constexpr const char kCheckCaption[] = "Korvane Quorvanta Module Update";
constexpr const char kDescriptionOpenFailedHead[] =
    "Unable to open the firmware description file:     \n";
constexpr const char kHexOpenFailedHead[] = "Unable to open the firmware hex file:     \n";
constexpr const char kNameIndent[] = "     ";
constexpr const char kDescriptionOpenFailedTail[] = "     \n\nFirmware update wil be disabled.";
constexpr const char kHexOpenFailedTail[] = "     ";

// Page image problems.
constexpr const char kPageImageCaption[] = "Firmware Update Error";
constexpr const char kCannotCreatePageImage[] =
    "Unable to create the temporary firmware file.               ";
constexpr const char kCannotOpenHexFile[] = "Unable to open the firmware file.               ";
constexpr const char kInvalidHexFile[] = "Invalid firmware hex file.                           ";
// Our own: the boot loader counts pages in one byte, so an image of 256 pages or more can
// never be sent whole.
constexpr const char kPageImageTooLarge[] =
    "The firmware hex file is too large for the module's boot loader: it fills more than "
    "255 pages of 256 bytes.";
}  // namespace firmware_texts
