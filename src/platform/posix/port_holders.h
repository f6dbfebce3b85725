#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

// Other programs that have a serial device open: a terminal program or a logger that holds the
// port reads the base station's answers before this program can. Found in /proc: the open
// files of every process this user may look at, and the advisory locks.
struct PortHolder {
  pid_t pid = 0;
  std::string program;  // the process's name, as the system shows it
};

// The processes other than this one with `device` (or the file it leads to) open.
std::vector<PortHolder> ProcessesWithDeviceOpen(const std::string& device);
// The process that holds an advisory lock (flock) on `device`, if the system tells.
std::vector<PortHolder> ProcessesLockingDevice(const std::string& device);

// "minicom (pid 1234)", "minicom (pid 1234) and cat (pid 99)".
std::string DescribeHolders(const std::vector<PortHolder>& holders);
