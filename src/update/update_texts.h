#pragma once

// Texts of the update procedures, kept byte for byte (trailing blanks included).
namespace update_texts {
constexpr const char kErrorTitle[] = "Firmware Update Error";
constexpr const char kCompleteTitle[] = "Firmware Update Complete";
constexpr const char kFifteenBlanks[] = "               ";

// Base station link and radio set-up.
constexpr const char kUnableToOpenPort[] = "Unable to open serial port COM%d     ";
constexpr const char kCannotFindBaseStation[] = "Cannot find a Korvane Tessalink.";
constexpr const char kUnableToConfigure[] =
    "Unable to communicate with and/or configure the Korvane Quorvanta Module for the firmware "
    "update.";
constexpr const char kTargetModuleId[] = "\n\nTarget Mobile Module ID = ";
constexpr const char kNoBootLoader[] = "No response from the Korvane Quorvanta Module boot loader.";

// Paged transfer.
constexpr const char kBootLoaderVersion[] = "Boot loader version  =  %s";
constexpr const char kSendingPage[] = "Sending hex file page  %d  of  %d";
constexpr const char kUnableToOpenPageImage[] =
    "Unable to open the temporary firmware file.               ";
constexpr const char kSuccessStatus[] = "Korvane Quorvanta Module firmware successfully updated";
constexpr const char kSuccessMessage[] =
    "The Korvane Quorvanta Module firmware has been successfully updated.     \n\n";
constexpr const char kNoResponse[] = "No response from the ";
constexpr const char kInvalidVersion[] = "Invalid version response from the ";
constexpr const char kNoReady[] = "No ready response from the ";
constexpr const char kInvalidReady[] = "Invalid ready response from the ";
constexpr const char kReasonEnd[] = ".     ";

// Update failure report.
constexpr const char kFailedStatus[] = "Firmware update failed";
}  // namespace update_texts
