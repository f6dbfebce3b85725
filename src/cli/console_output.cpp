#include "console_output.h"

void ConsoleOutput::Line(const std::string& text) {
  EndProgress();
  out_ << text << '\n';
  out_.flush();
}

void ConsoleOutput::ErrorLine(const std::string& text) {
  EndProgress();
  err_ << text << '\n';
  err_.flush();
}

void ConsoleOutput::Progress(const std::string& text) {
  // Blanks over what a longer earlier line left; no terminal escapes, so any console works.
  out_ << '\r' << text;
  if (text.size() < progressWidth_)
    out_ << std::string(progressWidth_ - text.size(), ' ');
  progressWidth_ = text.size();
  progressShowing_ = true;
  out_.flush();
}

void ConsoleOutput::EndProgress() {
  if (!progressShowing_)
    return;
  out_ << '\n';
  progressShowing_ = false;
  progressWidth_ = 0;
}

void ConsoleOutput::Flush() {
  out_.flush();
  err_.flush();
}
