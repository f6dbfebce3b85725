#pragma once
#include <cstdint>

// The console's production loop on virtual time against a line of simulated modules, the wire
// time emulated, beside a reference in the same process: the same modules updated one after
// another by the dialog's own procedure (Start Update pressed as soon as it is enabled). What
// the loop takes beyond the reference is the console's own time per module; the fixed waits
// and the devices' time are in both.

struct LoopBenchSettings {
  uint32_t baud = 115200;  // the base station's rate; the search starts at 9600
  int modules = 4;
  int pages = 255;
  uint32_t pageTurnaroundMs = 20;
  uint32_t setupButtonAfterMs = 1000;  // the operator presses Setup this long after "<RS"
  int rounds = 5;                      // runs of each, in turns; the median host time is kept
};

struct LoopBenchRun {
  bool ok = false;                // every module updated
  double virtualMsPerModule = 0;  // virtual time, Begin Update of the first to the last's end
  double hostUsPerModule = 0;     // the process's own time for it (wall clock, one thread)
};

struct LoopBenchResult {
  LoopBenchRun reference;  // the dialog's procedure, module after module
  LoopBenchRun loop;       // kqm-update --count N --yes
  LoopBenchRun loopBaud;   // the same with --baud at the base station's rate
};

LoopBenchResult RunLoopBench(const LoopBenchSettings& settings);
