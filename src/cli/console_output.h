#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "threads.h"

// Standard output and standard error of the console program. Keeps the terminal's progress
// bar on one line, rewritten in place, and ends that line before anything else is printed.
// The stations of a line write to it from their threads: every call is whole.
class ConsoleOutput {
 public:
  ConsoleOutput(std::ostream& out, std::ostream& err, bool terminal)
      : out_(out), err_(err), terminal_(terminal) {}

  // True when standard output is a terminal: progress is then a bar rewritten in place.
  bool Terminal() const { return terminal_; }

  void Line(const std::string& text);
  void ErrorLine(const std::string& text);
  // Terminal only: shows `text` in place of the current progress line.
  void Progress(const std::string& text);
  // Ends a progress line, if one is showing.
  void EndProgress();
  // Terminal only: shows `lines` in place of the block shown last (a line's live view). Any
  // other line printed in between ends the block: the next one starts below it.
  void Block(const std::vector<std::string>& lines);
  // A line that goes above the block: printed where the block stood, which is cleared and must
  // be shown again below it.
  void LineAboveBlock(const std::string& text);
  void Flush();

 private:
  // EndProgress, the lock held.
  void EndLine();

  std::ostream& out_;
  std::ostream& err_;
  bool terminal_;
  std::size_t progressWidth_ = 0;
  bool progressShowing_ = false;
  std::size_t blockLines_ = 0;
  Mutex lock_;
};
