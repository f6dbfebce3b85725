// check: the firmware files as an update would check and convert them, without a port.
#include <fstream>

#include "console_commands.h"
#include "console_firmware.h"
#include "console_presenter.h"
#include "firmware/firmware_messages.h"
#include "firmware/page_image_store.h"
#include "hex_diagnostic.h"
#include "update/update_procedure.h"

namespace {
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  file.close();
  return !file.fail();
}

// A check never asks for a Setup report.
class NoPrompt : public ConsoleInput {
 public:
  Event Wait(uint32_t) override { return Event::kEnd; }
};
}  // namespace

ExitCode RunCheckCommand(ConsoleEnvironment& environment, const ConsoleOptions& options) {
  ConsoleOutput& output = environment.output;
  NoPrompt noInput;
  SetupPrompt prompt(environment.clock, output, noInput, environment.interrupts, false);
  ConsolePresenter presenter(output, prompt);
  FirmwareBundle firmware;
  std::string problem;
  if (!LoadFirmware(environment, options, presenter, firmware, problem))
    return ExitCode::kFirmwareFile;

  // The same conversion the update makes, kept in memory.
  PageImageInMemory store;
  const PageImageBuild built = update::BuildPageImage(presenter, firmware, store);
  if (!built.Built()) {
    const std::string diagnostic = DescribeHexProblem(built.hexProblem);
    if (!diagnostic.empty())
      output.ErrorLine(firmware.HexFileName() + ": " + diagnostic);
    return ExitCode::kFirmwareFile;
  }
  output.Line("Page image  =  " + std::to_string(built.PageCount()) + " pages of " +
              std::to_string(kPageSize) + " bytes (" + std::to_string(built.image.size()) +
              " bytes)");
  if (!options.imageFile.empty()) {
    if (!WriteWholeFile(options.imageFile, built.image)) {
      output.ErrorLine("Cannot write the page image to " + options.imageFile);
      return ExitCode::kUsage;
    }
    output.Line("Page image written to " + options.imageFile);
  }
  output.Line("The firmware files are valid.");
  return ExitCode::kSuccess;
}
