#include "console_environment.h"

std::string WithTrailingSeparator(const std::string& directory) {
  if (directory.empty() || directory.back() == '/' || directory.back() == '\\')
    return directory;
#ifdef _WIN32
  return directory + "\\";
#else
  return directory + "/";
#endif
}

std::string PortName(const ConsoleEnvironment& environment, int port) {
  std::string name = "COM" + std::to_string(port);
  const std::string device = environment.portNames.Device(port);
  if (!device.empty())
    name += " (" + device + ")";
  return name;
}
