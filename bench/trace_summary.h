#pragma once
#include <string>
#include <vector>

// The transfer as the console program's serial trace (--trace) shows it: lines of
// "[    123 ms] -> 23 24 ..." for bytes sent and "<-" for bytes received, one line per run of
// up to 16 bytes in one direction, stamped with the time of its first byte.
struct TraceTransfer {
  bool found = false;
  double startMs = 0;  // the version request written
  double endMs = 0;    // the end mark written
  int frames = 0;      // page frames sent (resends included)
  // Per frame: from its first byte written to its reply read, and from the reply read to
  // the next frame (or the end mark) written.
  std::vector<double> replyMs;
  std::vector<double> reactionMs;
  // From one frame written to the next (or to the end mark).
  std::vector<double> cycleMs;
  double TransferMs() const { return endMs - startMs; }
};

// False with a reason when the file cannot be read or shows no complete transfer.
bool ReadTraceTransfer(const std::string& path, TraceTransfer& transfer, std::string& error);
