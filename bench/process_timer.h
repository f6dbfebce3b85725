#pragma once
#include <string>
#include <vector>

// Whole-process timings of several commands, run in turns so that a disturbance from other
// load on the machine falls on all of them alike.

struct TimedCommand {
  std::string name;
  std::vector<std::string> arguments;  // the program first
};

struct CommandTimings {
  std::vector<double> wallMs;  // from fork to the end of wait
  std::vector<double> cpuMs;   // user + system time of the child
  int failures = 0;            // runs that did not exit with status 0
};

// Runs every command `runs` times after `warmups` unrecorded rounds. Each round runs every
// command once, starting with a different one each round. Output goes to /dev/null.
std::vector<CommandTimings> TimeInterleaved(const std::vector<TimedCommand>& commands, int runs,
                                            int warmups);
