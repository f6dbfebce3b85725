#include "line_history.h"

#include "sha256.h"

bool OpenLineHistory(const ConsoleOptions& options, const FirmwareBundle& firmware,
                     ConsoleOutput& output, LineHistory& line) {
  const PageImageBuild image = firmware.ConvertHexFile();
  if (const auto digest = Sha256(image.image))
    line.imageSha256 = Sha256Hex(*digest);
  if (options.historyTarget.empty()) {
    line.history = history::OpenMemoryHistory();
    return true;
  }
  try {
    line.history = history::OpenHistory(options.historyTarget);
    line.shared = true;
    output.Line("History  =  " + line.history->Describe());
    return true;
  } catch (const history::HistoryError& error) {
    output.ErrorLine(std::string("Cannot use the history: ") + error.what());
    return false;
  }
}
