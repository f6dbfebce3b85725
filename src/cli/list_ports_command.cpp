// --list-ports: the COM ports the system lists, the saved one marked.
#include "console_commands.h"
#include "serial/port_discovery.h"

namespace {
// Whether COMn is the port of the last successful update: by its device where one was
// remembered (the numbers of devices such as pseudo-terminals change from run to run), else by
// its number.
bool IsRemembered(ConsoleEnvironment& environment, int port) {
  const std::string device =
      environment.profile.GetString(profile::kSettingsSection, profile::kComPortDeviceEntry, "");
  if (!device.empty())
    return environment.portNames.StableName(port) == device ||
           environment.portNames.Device(port) == device;
  return environment.profile.GetInt(profile::kSettingsSection, profile::kComPortEntry, -1) == port;
}
}  // namespace

ExitCode RunListPortsCommand(ConsoleEnvironment& environment) {
  const ComPorts ports = FindComPorts(environment.portList);
  int found = 0;
  for (int port = 1; port <= kComPortCount; ++port) {
    if (!ports.Exists(port))
      continue;
    ++found;
    std::string line = PortName(environment, port);
    if (IsRemembered(environment, port))
      line += "  (port of the last successful update)";
    if (const std::string problem = environment.portNames.AccessProblem(port); !problem.empty())
      line += "  (" + problem + ")";
    environment.output.Line(line);
  }
  if (found == 0)
    environment.output.Line("No serial ports found.");
  return ExitCode::kSuccess;
}
