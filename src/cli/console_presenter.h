#pragma once
#include <functional>
#include <string>

#include "console_output.h"
#include "setup_prompt.h"
#include "update/update_presenter.h"

// Prints a message box: the information box (success) on standard output, every other box
// (they all report a problem) on standard error, title and full text.
void PrintMessageBox(ConsoleOutput& output, const UpdateMessage& message);

// The update on the console: the status lines as plain lines (the progress line only when
// the output is not a terminal, where a bar is drawn from the events instead), every message
// box in full, and the Setup report prompt.
class ConsolePresenter : public UpdatePresenter {
 public:
  ConsolePresenter(ConsoleOutput& output, SetupPrompt& prompt) : output_(output), prompt_(prompt) {}

  void ShowFirmwareFile(const std::string& line, const UpdateMessage* problem) override;
  void ShowPageImageProblem(const UpdateMessage& message) override;
  void ClearStatus() override {}
  void ShowBaseStationFound(int, uint32_t) override {}
  void ShowBootLoaderVersion(const std::string& line) override { output_.Line(line); }
  void ShowPageProgress(int page, int pages, const std::string& line) override;
  void ShowSuccess(int port, const std::string& status, const UpdateMessage& message) override;
  void ShowFailure(const UpdateFailure& failure) override;
  SetupAnswer AskForSetupReport(SetupReport& report) override { return prompt_.Ask(report); }

  // The firmware file line said already (before the run began), not to be said again.
  const std::string& FirmwareLine() const { return firmwareLine_; }
  void SetFirmwareLine(std::string line) { firmwareLine_ = std::move(line); }

  // Whether the user cut the serial link: the failures that follow from the cut are not the
  // devices' doing, and are said as what they are.
  void SetLinkCut(std::function<bool()> isCut) { isCut_ = std::move(isCut); }

 private:
  ConsoleOutput& output_;
  SetupPrompt& prompt_;
  // The file line is checked again by every run; said again only when it changed.
  std::string firmwareLine_;
  std::function<bool()> isCut_;
};
