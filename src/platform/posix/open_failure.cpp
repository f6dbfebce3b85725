#include "open_failure.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "port_holders.h"

namespace {
// What gives this user the device: the group that may read and write it ("dialout" for the
// serial ports of Debian), or, for a device only its owner may use, a word with whoever runs
// the computer.
std::string PermissionAdvice(const std::string& path, const std::string& user) {
  struct stat status {};
  if (stat(path.c_str(), &status) == 0 && (status.st_mode & 060) == 060) {
    const group* entry = getgrgid(status.st_gid);
    const std::string name = entry != nullptr ? entry->gr_name : std::to_string(status.st_gid);
    return "This user may not use the port: add it to the group " + name + " (sudo usermod -aG " +
           name + " " + user + "), then log in again.";
  }
  return "Only its owner may use it: run the program as that user, or have the device given "
         "to the group dialout (a udev rule).";
}

std::string UserName() {
  const char* user = std::getenv("USER");
  return user != nullptr && *user != '\0' ? user : "$USER";
}

std::string Advice(const std::string& path, int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return "Is the base station's cable or USB adapter plugged in? --list-ports shows the "
             "ports this computer has.";
    case EACCES:
    case EPERM:
      return PermissionAdvice(path, UserName());
    case EBUSY:
      return "Another program holds it exclusively; close that program, or give another port.";
    case EISDIR:
      return "That is a directory, not a serial port.";
    default:
      return {};
  }
}

std::string NotATerminal(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode))
    return "it is a regular file, not a serial port.";
  return "it is not a serial port (no terminal device).";
}
}  // namespace

std::string OpenFailureText(const std::string& path, int port, OpenStep step, int error) {
  const std::string head = "Cannot open " + path + " (COM" + std::to_string(port) + "): ";
  switch (step) {
    case OpenStep::kOpen: {
      const std::string advice = Advice(path, error);
      return head + std::strerror(error) + "." + (advice.empty() ? "" : " " + advice);
    }
    case OpenStep::kLocked: {
      const std::string holders = DescribeHolders(ProcessesLockingDevice(path));
      return head + "it is in use by " + (holders.empty() ? "another program" : holders) +
             ". Close that program, or give another port.";
    }
    case OpenStep::kNotTerminal:
      return head + NotATerminal(path);
    case OpenStep::kHeldOpen:
      return head + "it is open in " + DescribeHolders(ProcessesWithDeviceOpen(path)) +
             ", which would take the base station's answers. Close that program, or give "
             "another port.";
  }
  return head + std::strerror(error);
}
