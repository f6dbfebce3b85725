#include "firmware/firmware_messages.h"

#include "firmware/firmware_texts.h"

namespace firmware_messages {

std::string FirmwareFileLine(const std::string& hexFileName, const std::string& dateSuffix) {
  return firmware_texts::kFirmwareFilePrefix + hexFileName + dateSuffix;
}

std::string FirmwareVersionLine(const std::string& version) {
  return firmware_texts::kFirmwareVersionPrefix + version;
}

std::string DescriptionOpenFailed(const std::string& descriptionPath) {
  return std::string(firmware_texts::kDescriptionOpenFailedHead) + firmware_texts::kNameIndent +
         descriptionPath + firmware_texts::kDescriptionOpenFailedTail;
}

std::string HexFileOpenFailed(const std::string& hexFileName) {
  return std::string(firmware_texts::kHexOpenFailedHead) + firmware_texts::kNameIndent +
         hexFileName + firmware_texts::kHexOpenFailedTail;
}

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

}  // namespace firmware_messages
