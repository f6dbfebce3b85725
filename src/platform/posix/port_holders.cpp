#include "port_holders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace {
namespace fs = std::filesystem;

std::string ProgramName(pid_t pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name.empty() ? "another program" : name;
}

// Every running process's number, but this one's.
std::vector<pid_t> OtherProcesses() {
  std::vector<pid_t> pids;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos)
      continue;
    const pid_t pid = static_cast<pid_t>(std::stol(name));
    if (pid != getpid())
      pids.push_back(pid);
  }
  return pids;
}

bool HasOpen(pid_t pid, const fs::path& device) {
  std::error_code error;
  for (const fs::directory_entry& fd :
       fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    std::error_code linkError;
    if (fs::read_symlink(fd.path(), linkError) == device)
      return true;
  }
  return false;
}
}  // namespace

std::vector<PortHolder> ProcessesWithDeviceOpen(const std::string& device) {
  std::error_code error;
  const fs::path target = fs::canonical(device, error);
  std::vector<PortHolder> holders;
  if (error)
    return holders;
  for (const pid_t pid : OtherProcesses()) {
    if (HasOpen(pid, target))
      holders.push_back({pid, ProgramName(pid)});
  }
  return holders;
}

std::vector<PortHolder> ProcessesLockingDevice(const std::string& device) {
  struct stat status {};
  std::vector<PortHolder> holders;
  if (stat(device.c_str(), &status) != 0)
    return holders;
  // "1: FLOCK  ADVISORY  WRITE 1234 00:05:3 0 EOF": the holder, then major:minor:inode.
  std::ifstream locks("/proc/locks");
  for (std::string line; std::getline(locks, line);) {
    std::istringstream fields(line);
    std::string number, kind, mode, access, where;
    long pid = 0;
    if (!(fields >> number >> kind >> mode >> access >> pid >> where) || kind != "FLOCK")
      continue;
    unsigned major = 0, minor = 0;
    unsigned long inode = 0;
    if (std::sscanf(where.c_str(), "%x:%x:%lu", &major, &minor, &inode) == 3 &&
        inode == status.st_ino && pid != getpid()) {
      holders.push_back({static_cast<pid_t>(pid), ProgramName(static_cast<pid_t>(pid))});
    }
  }
  return holders;
}

std::string DescribeHolders(const std::vector<PortHolder>& holders) {
  std::string text;
  for (std::size_t i = 0; i < holders.size(); ++i) {
    if (i != 0)
      text += i + 1 == holders.size() ? " and " : ", ";
    text += holders[i].program + " (pid " + std::to_string(holders[i].pid) + ")";
  }
  return text;
}
