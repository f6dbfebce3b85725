#pragma once
#include <string>

#include "firmware/page_image.h"

// The texts the firmware checks are shown with, made from their results (firmware_texts.h
// holds the parts).
namespace firmware_messages {

// "Firmware file  =  name     (m-d-yyyy, h:mm:ss AM)", the date empty when the file cannot be
// opened.
std::string FirmwareFileLine(const std::string& hexFileName, const std::string& dateSuffix);
std::string FirmwareVersionLine(const std::string& version);
// The boxes of the firmware file checks, with kCheckCaption.
std::string DescriptionOpenFailed(const std::string& descriptionPath);
std::string HexFileOpenFailed(const std::string& hexFileName);
// The page image box, with kPageImageCaption; empty for kNone.
const char* PageImageProblemText(PageImageProblem problem);

}  // namespace firmware_messages
