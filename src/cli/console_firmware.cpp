#include "console_firmware.h"

#include <filesystem>
#include <system_error>

#include "core/device_names.h"
#include "core/message_box.h"
#include "firmware/firmware_messages.h"
#include "firmware/firmware_texts.h"
#include "update/update_procedure.h"

std::string FirmwareDirectory(const ConsoleEnvironment& environment,
                              const ConsoleOptions& options) {
  if (!options.firmwareDirectory.empty())
    return WithTrailingSeparator(options.firmwareDirectory);
#ifdef _WIN32
  return environment.programDirectory;
#else
  std::error_code error;
  const bool beside = std::filesystem::is_regular_file(
      FirmwareDescriptionPath(environment.programDirectory), error);
  return beside ? environment.programDirectory : std::string();
#endif
}

namespace {
// The folder as a person would name it: the current directory spelt out.
std::string FolderName(const std::string& directory) {
  if (!directory.empty())
    return directory;
  std::error_code error;
  const std::filesystem::path current = std::filesystem::current_path(error);
  return error ? std::string("the current directory")
               : "the current directory (" + current.string() + ")";
}
}  // namespace

bool LoadFirmware(ConsoleEnvironment& environment, const ConsoleOptions& options,
                  ConsolePresenter& presenter, FirmwareBundle& firmware, std::string& problem) {
  ConsoleOutput& output = environment.output;
  output.Line(std::string(device_names::kModule) + " Firmware Update");
  firmware.SetDirectory(FirmwareDirectory(environment, options));
  if (!firmware.ReadDescription()) {
    problem = firmware_messages::DescriptionOpenFailed(firmware.DescriptionPath());
    PrintMessageBox(output,
                    {problem, firmware_texts::kCheckCaption, mb::kOk | mb::kIconExclamation});
    output.ErrorLine("No firmware description file " +
                     std::string(firmware_texts::kDescriptionFileName) + " in " +
                     FolderName(firmware.Directory()) +
                     ". Give the folder that holds it and its HEX file with --firmware-dir.");
    return false;
  }
  output.Line(firmware_texts::kUsageLine);
  const bool usable = update::CheckFirmwareFile(presenter, firmware, problem);
  output.Line(firmware_messages::FirmwareVersionLine(usable ? firmware.Version() : ""));
  return usable;
}
