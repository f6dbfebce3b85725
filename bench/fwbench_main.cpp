// fwbench: the helpers scripts/bench runs. Each command prints "key=value" lines (and, for
// some, a readable list after them) so that the script can put the figures side by side.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "hex_corpus.h"
#include "host_cost.h"
#include "process_timer.h"
#include "production_loop_bench.h"
#include "stats.h"
#include "trace_summary.h"
#include "transfer_model.h"
#include "update_timeline.h"

namespace {

const char kUsage[] =
    "usage: fwbench COMMAND ...\n"
    "  make-firmware DIR          DIR/r16 and DIR/r32: firmware of 255 pages in 16- and\n"
    "                             32-byte records; DIR/image.bin: the page image\n"
    "  time-processes RUNS WARMUPS FILE\n"
    "                             times the commands of FILE (one a line: name, then the\n"
    "                             program and its arguments, separated by tabs), in turns\n"
    "  timeline [options]         a whole update on virtual time with the wire time emulated\n"
    "  trace [options] TRACE      the transfer in a serial trace of the console program\n"
    "  host-cost [options]        transfers against an instant boot loader (for callgrind)\n"
    "  loop [options]             the console's production loop of --repeat N modules on\n"
    "                             virtual time, beside the dialog's procedure N times\n"
    "options: --baud N (9600), --page-turnaround MS (20), --pages N (255),\n"
    "         --bootloader-running, --pauses (timeline), --repeat N, --terminal (host-cost)\n"
    "         (loop: --repeat is the number of modules, default 4)\n";

struct Options {
  uint32_t baud = 9600;
  uint32_t pageTurnaroundMs = 20;
  int pages = kLargestImagePages;
  bool bootLoaderRunning = false;
  bool pauses = false;
  int repeat = 1;
  bool terminal = false;
  std::vector<std::string> rest;
};

bool ParseOptions(int argc, char** argv, int first, Options& options) {
  for (int i = first; i < argc; ++i) {
    const std::string option = argv[i];
    auto number = [&](long low, long high, long& value) {
      if (i + 1 >= argc)
        return false;
      char* end = nullptr;
      value = std::strtol(argv[++i], &end, 10);
      return *end == '\0' && value >= low && value <= high;
    };
    long value = 0;
    if (option == "--baud") {
      if (!number(300, 4000000, value))
        return false;
      options.baud = static_cast<uint32_t>(value);
    } else if (option == "--page-turnaround") {
      if (!number(0, 60000, value))
        return false;
      options.pageTurnaroundMs = static_cast<uint32_t>(value);
    } else if (option == "--pages") {
      if (!number(1, kLargestImagePages, value))
        return false;
      options.pages = static_cast<int>(value);
    } else if (option == "--repeat") {
      if (!number(1, 1000000, value))
        return false;
      options.repeat = static_cast<int>(value);
    } else if (option == "--bootloader-running") {
      options.bootLoaderRunning = true;
    } else if (option == "--pauses") {
      options.pauses = true;
    } else if (option == "--terminal") {
      options.terminal = true;
    } else if (!option.empty() && option[0] == '-') {
      return false;
    } else {
      options.rest.push_back(option);
    }
  }
  return true;
}

LinkModel ModelFor(const Options& options) {
  LinkModel model;
  model.baud = options.baud;
  model.pageTurnaroundMs = options.pageTurnaroundMs;
  return model;
}

bool WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  return static_cast<bool>(out);
}

int MakeFirmware(const Options& options) {
  if (options.rest.size() != 1)
    return 2;
  const std::filesystem::path root = options.rest[0];
  for (int recordSize : {16, 32}) {
    // Appended rather than "r" + ...: g++ 12 warns falsely (-Wrestrict) about the latter.
    std::string name = "r";
    name += std::to_string(recordSize);
    const std::filesystem::path directory = root / name;
    std::filesystem::create_directories(directory);
    if (!WriteFile(directory / "Korvane_Quorvanta_Mobile_Module.txt", "3.05\r\nfirmware.hex\r\n") ||
        !WriteFile(directory / "firmware.hex", LargestImageHex(recordSize))) {
      std::cerr << "fwbench: cannot write " << directory << "\n";
      return 1;
    }
  }
  const std::vector<uint8_t> image = LargestImage();
  if (!WriteFile(root / "image.bin", std::string(image.begin(), image.end()))) {
    std::cerr << "fwbench: cannot write " << root / "image.bin"
              << "\n";
    return 1;
  }
  return 0;
}

int TimeProcesses(const Options& options) {
  if (options.rest.size() != 3)
    return 2;
  const int runs = std::atoi(options.rest[0].c_str());
  const int warmups = std::atoi(options.rest[1].c_str());
  std::ifstream in(options.rest[2]);
  std::vector<TimedCommand> commands;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty())
      continue;
    std::istringstream fields(line);
    TimedCommand command;
    std::string field;
    std::getline(fields, command.name, '\t');
    while (std::getline(fields, field, '\t')) command.arguments.push_back(field);
    if (!command.arguments.empty())
      commands.push_back(command);
  }
  if (commands.empty() || runs < 1) {
    std::cerr << "fwbench: nothing to time in " << options.rest[2] << "\n";
    return 2;
  }
  const std::vector<CommandTimings> timings = TimeInterleaved(commands, runs, warmups);
  for (std::size_t i = 0; i < commands.size(); ++i) {
    const CommandTimings& t = timings[i];
    std::printf(
        "%s runs=%zu failures=%d wall_median=%.3f wall_p10=%.3f wall_p90=%.3f "
        "cpu_median=%.3f\n",
        commands[i].name.c_str(), t.wallMs.size(), t.failures, Median(t.wallMs),
        Quantile(t.wallMs, 0.1), Quantile(t.wallMs, 0.9), Median(t.cpuMs));
  }
  return 0;
}

int Timeline(const Options& options) {
  TimelineSettings settings;
  settings.baud = options.baud;
  settings.pageTurnaroundMs = options.pageTurnaroundMs;
  settings.pages = options.pages;
  settings.bootLoaderRunning = options.bootLoaderRunning;
  const UpdateTimeline timeline = RunUpdateOnVirtualTime(settings);
  const LinkModel model = ModelFor(options);
  std::printf(
      "success=%d\ntotal_ms=%u\ntransfer_ms=%u\nideal_transfer_ms=%.1f\n"
      "pauses_ms=%u\ntimeouts_ms=%u\nanswers_ms=%u\ndialog_ms=%u\nother_ms=%u\n"
      "port_openings=%d\nsearch_ms=%u\n",
      timeline.success ? 1 : 0, timeline.totalMs, timeline.transferMs,
      model.TransferMs(options.pages), timeline.pausesMs, timeline.timeoutsMs, timeline.answersMs,
      timeline.dialogMs, timeline.otherMs, timeline.portOpenings, timeline.searchMs);
  if (options.pauses) {
    for (const TimelinePause& pause : timeline.pauses)
      std::printf("pause %5u ms  after %s, before %s\n", pause.ms, pause.after.c_str(),
                  pause.before.c_str());
  }
  return timeline.success ? 0 : 1;
}

int Trace(const Options& options) {
  if (options.rest.size() != 1)
    return 2;
  TraceTransfer transfer;
  std::string error;
  if (!ReadTraceTransfer(options.rest[0], transfer, error)) {
    std::cerr << "fwbench: " << error << "\n";
    return 1;
  }
  const LinkModel model = ModelFor(options);
  const double ideal = model.TransferMs(transfer.frames);
  std::printf(
      "frames=%d\ntransfer_ms=%.0f\nideal_transfer_ms=%.1f\nratio=%.4f\n"
      "cycle_median_ms=%.1f\ncycle_p10_ms=%.1f\ncycle_p90_ms=%.1f\n"
      "ideal_cycle_ms=%.2f\nreply_median_ms=%.1f\nreaction_median_ms=%.1f\n"
      "reaction_p90_ms=%.1f\nreaction_max_ms=%.1f\n",
      transfer.frames, transfer.TransferMs(), ideal, transfer.TransferMs() / ideal,
      Median(transfer.cycleMs), Quantile(transfer.cycleMs, 0.1), Quantile(transfer.cycleMs, 0.9),
      model.PageCycleMs(), Median(transfer.replyMs), Median(transfer.reactionMs),
      Quantile(transfer.reactionMs, 0.9), Quantile(transfer.reactionMs, 1.0));
  return 0;
}

int HostCost(const Options& options) {
  HostCostBench bench(options.pages, options.terminal);
  for (int i = 0; i < options.repeat; ++i) {
    if (!bench.Transfer()) {
      std::cerr << "fwbench: the transfer failed\n";
      return 1;
    }
  }
  return 0;
}

int Loop(const Options& options) {
  LoopBenchSettings settings;
  settings.baud = options.baud;
  settings.pageTurnaroundMs = options.pageTurnaroundMs;
  settings.pages = options.pages;
  settings.modules = options.repeat > 1 ? options.repeat : 4;
  const LoopBenchResult result = RunLoopBench(settings);
  const std::pair<const char*, const LoopBenchRun*> runs[] = {
      {"reference", &result.reference}, {"loop", &result.loop}, {"loop_baud", &result.loopBaud}};
  for (const auto& [name, run] : runs) {
    std::printf("%s_ok=%d\n%s_virtual_ms=%.1f\n%s_host_us=%.1f\n", name, run->ok ? 1 : 0, name,
                run->virtualMsPerModule, name, run->hostUsPerModule);
  }
  return result.reference.ok && result.loop.ok && result.loopBaud.ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (argc < 2 || !ParseOptions(argc, argv, 2, options)) {
    std::cerr << kUsage;
    return 2;
  }
  const std::string command = argv[1];
  int status = 2;
  if (command == "make-firmware") {
    status = MakeFirmware(options);
  } else if (command == "time-processes") {
    status = TimeProcesses(options);
  } else if (command == "timeline") {
    status = Timeline(options);
  } else if (command == "trace") {
    status = Trace(options);
  } else if (command == "host-cost") {
    status = HostCost(options);
  } else if (command == "loop") {
    status = Loop(options);
  }
  if (status == 2)
    std::cerr << kUsage;
  return status;
}
