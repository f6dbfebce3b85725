// --list-ports: the COM ports the system lists, the saved one marked.
#include "console_commands.h"
#include "serial/port_discovery.h"

ExitCode RunListPortsCommand(ConsoleEnvironment& environment) {
  const ComPorts ports = FindComPorts(environment.portList);
  const int saved =
      environment.profile.GetInt(profile::kSettingsSection, profile::kComPortEntry, -1);
  int found = 0;
  for (int port = 1; port <= kComPortCount; ++port) {
    if (!ports.Exists(port))
      continue;
    ++found;
    environment.output.Line(PortName(environment, port) +
                            (port == saved ? "  (port of the last successful update)" : ""));
  }
  if (found == 0)
    environment.output.Line("No serial ports found.");
  return ExitCode::kSuccess;
}
