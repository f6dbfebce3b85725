#include "trace_summary.h"

#include <cstdlib>
#include <fstream>

namespace {

struct TraceRun {
  bool sent = false;
  double ms = 0;
  std::vector<unsigned> bytes;
};

// "[    123 ms] -> 23 24 25  |#$%|": false for notes (open, close, purge) and other lines.
bool ParseLine(const std::string& line, TraceRun& run) {
  const std::size_t close = line.find(" ms] ");
  if (line.empty() || line[0] != '[' || close == std::string::npos)
    return false;
  run.ms = std::strtod(line.c_str() + 1, nullptr);
  const std::string direction = line.substr(close + 5, 2);
  if (direction != "->" && direction != "<-")
    return false;
  run.sent = direction == "->";
  run.bytes.clear();
  std::size_t position = close + 7;
  const std::size_t textStart = line.find("  |", position);
  const std::size_t end = textStart == std::string::npos ? line.size() : textStart;
  while (position + 3 <= end && line[position] == ' ' && line[position + 1] != ' ') {
    run.bytes.push_back(
        static_cast<unsigned>(std::strtoul(line.substr(position + 1, 2).c_str(), nullptr, 16)));
    position += 3;
  }
  return !run.bytes.empty();
}

}  // namespace

bool ReadTraceTransfer(const std::string& path, TraceTransfer& transfer, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  // Join the lines into bursts: consecutive lines in the same direction, no note between,
  // each begun within the trace's own burst gap of the one before.
  constexpr double kBurstGapMs = 20;
  std::vector<TraceRun> bursts;
  bool lastWasData = false;
  double lastMs = 0;
  std::string line;
  TraceRun run;
  while (std::getline(in, line)) {
    if (!ParseLine(line, run)) {
      lastWasData = false;
      continue;
    }
    if (lastWasData && bursts.back().sent == run.sent && run.ms - lastMs <= kBurstGapMs) {
      bursts.back().bytes.insert(bursts.back().bytes.end(), run.bytes.begin(), run.bytes.end());
    } else {
      bursts.push_back(run);
    }
    lastWasData = true;
    lastMs = run.ms;
  }

  static const std::string kVersionRequest = "#$%-QMM-2.11-644";
  std::size_t index = 0;
  for (; index < bursts.size(); ++index) {
    const TraceRun& burst = bursts[index];
    if (burst.sent && std::string(burst.bytes.begin(), burst.bytes.end()) == kVersionRequest)
      break;
  }
  if (index == bursts.size()) {
    error = "no version request in " + path;
    return false;
  }
  transfer.startMs = bursts[index].ms;
  double frameStart = -1, replyAt = -1;
  for (++index; index < bursts.size(); ++index) {
    const TraceRun& burst = bursts[index];
    if (!burst.sent) {
      replyAt = burst.ms;
      if (frameStart >= 0)
        transfer.replyMs.push_back(burst.ms - frameStart);
      continue;
    }
    const bool endMark =
        burst.bytes.size() == 2 && burst.bytes[0] == 0xFF && burst.bytes[1] == 0xFF;
    if (burst.bytes.size() != 259 && !endMark) {
      error = "unexpected burst of " + std::to_string(burst.bytes.size()) + " bytes sent";
      return false;
    }
    if (frameStart >= 0)
      transfer.cycleMs.push_back(burst.ms - frameStart);
    if (replyAt >= 0 && frameStart >= 0)
      transfer.reactionMs.push_back(burst.ms - replyAt);
    if (endMark) {
      transfer.endMs = burst.ms;
      transfer.found = true;
      return true;
    }
    ++transfer.frames;
    frameStart = burst.ms;
  }
  error = "no end mark after the pages in " + path;
  return false;
}
