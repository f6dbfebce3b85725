#include "console_presenter.h"

#include "core/message_box.h"

void PrintMessageBox(ConsoleOutput& output, const UpdateMessage& message) {
  const std::string block = "[" + message.title + "]\n" + message.text;
  if ((message.flags & 0xF0) == mb::kIconInformation)
    output.Line(block);
  else
    output.ErrorLine(block);
}

void ConsolePresenter::ShowFirmwareFile(const std::string& line, const UpdateMessage* problem) {
  if (problem != nullptr)
    PrintMessageBox(output_, *problem);
  if (line != firmwareLine_)
    output_.Line(line);
  firmwareLine_ = line;
}

void ConsolePresenter::ShowPageImageProblem(const UpdateMessage& message) {
  PrintMessageBox(output_, message);
}

void ConsolePresenter::ShowPageProgress(int, int, const std::string& line) {
  if (!output_.Terminal())
    output_.Line(line);
  output_.Flush();
}

void ConsolePresenter::ShowSuccess(int, const std::string& status, const UpdateMessage& message) {
  output_.Line(status);
  PrintMessageBox(output_, message);
}

void ConsolePresenter::ShowFailure(const UpdateFailure& failure) {
  if (isCut_ && isCut_()) {
    output_.ErrorLine(failure.kind == UpdateFailure::Kind::kTransfer
                          ? "The serial link was cut during the transfer: the module stays in "
                            "its boot loader, where the next update finds it and finishes."
                          : "The serial link was cut: the update stops here.");
    return;
  }
  if (!failure.status.empty())
    output_.Line(failure.status);
  PrintMessageBox(output_, failure.message);
}
