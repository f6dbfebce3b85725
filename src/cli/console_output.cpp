#include "console_output.h"

void ConsoleOutput::Line(const std::string& text) {
  std::lock_guard<Mutex> guard(lock_);
  EndLine();
  blockLines_ = 0;
  out_ << text << '\n';
  out_.flush();
}

void ConsoleOutput::ErrorLine(const std::string& text) {
  std::lock_guard<Mutex> guard(lock_);
  EndLine();
  blockLines_ = 0;
  err_ << text << '\n';
  err_.flush();
}

void ConsoleOutput::Progress(const std::string& text) {
  std::lock_guard<Mutex> guard(lock_);
  // Blanks over what a longer earlier line left; no terminal escapes, so any console works.
  out_ << '\r' << text;
  if (text.size() < progressWidth_)
    out_ << std::string(progressWidth_ - text.size(), ' ');
  progressWidth_ = text.size();
  progressShowing_ = true;
  out_.flush();
}

void ConsoleOutput::EndProgress() {
  std::lock_guard<Mutex> guard(lock_);
  EndLine();
}

void ConsoleOutput::EndLine() {
  if (!progressShowing_)
    return;
  out_ << '\n';
  progressShowing_ = false;
  progressWidth_ = 0;
}

void ConsoleOutput::Flush() {
  std::lock_guard<Mutex> guard(lock_);
  out_.flush();
  err_.flush();
}

void ConsoleOutput::LineAboveBlock(const std::string& text) {
  std::lock_guard<Mutex> guard(lock_);
  EndLine();
  if (blockLines_ != 0)
    out_ << "\x1b[" << blockLines_ << "A\r\x1b[J";
  blockLines_ = 0;
  out_ << text << '\n';
  out_.flush();
}

void ConsoleOutput::Block(const std::vector<std::string>& lines) {
  std::lock_guard<Mutex> guard(lock_);
  EndLine();
  // Up to the block's first line, then each line cleared and written anew.
  if (blockLines_ != 0)
    out_ << "\x1b[" << blockLines_ << 'A';
  for (const std::string& line : lines) out_ << "\r\x1b[2K" << line << '\n';
  blockLines_ = lines.size();
  out_.flush();
}
