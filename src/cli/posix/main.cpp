// kqm-update: the firmware update on the console, over the same update library as the Windows
// program, with the Linux serial ports, profile file and clock.
#include <unistd.h>

#include <climits>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "com_port_name.h"
#include "console_commands.h"
#include "console_options.h"
#include "console_output.h"
#include "core/support_contact.h"
#include "dev_port_names.h"
#include "dev_serial_port_list.h"
#include "file_profile.h"
#include "interrupts.h"
#include "port_argument.h"
#include "posix_clock.h"
#include "program_version.h"
#include "stdin_input.h"
#include "termios_serial.h"

namespace {
constexpr const char kVersion[] = PROGRAM_VERSION;

// The program file's path, from the kernel rather than argv[0], so a program found on the
// PATH still finds its firmware beside it.
std::string ProgramPath(const char* argv0) {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0)
    return argv0 ? argv0 : "";
  return std::string(path, static_cast<std::size_t>(length));
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string HostName() {
  char name[256] = {};
  return gethostname(name, sizeof name - 1) == 0 ? name : "";
}

std::string BaseNameWithoutExtension(const std::string& path) {
  std::string name = path.substr(path.rfind('/') + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot != 0)
    name.erase(dot);
  return name;
}

// The COM numbers of the --port options, else of the port remembered, devices added for the
// paths given; false, said on standard error, for a port the command line cannot mean.
bool PortsOfCommandLine(const ConsoleOptions& options, const std::string& programName,
                        FileProfile& profile, ComPortDevices& devices, std::vector<int>& ports) {
  for (const std::string& text : options.ports) {
    std::string error;
    const int port = ResolvePortArgument(text, devices, error);
    if (port == 0) {
      std::cerr << programName << ": " << error << "\n";
      return false;
    }
    ports.push_back(port);
  }
  if (const std::string repeated = RepeatedPortError(options.ports, ports); !repeated.empty()) {
    std::cerr << programName << ": " << repeated << "\n";
    return false;
  }
  if (ports.empty() && options.command == ConsoleCommand::kUpdate) {
    std::string note;
    const int remembered = RememberedPort(
        profile.GetString(profile::kSettingsSection, profile::kComPortDeviceEntry, ""), devices,
        note);
    if (remembered != 0)
      ports.push_back(remembered);
    if (!note.empty())
      std::cerr << note << "\n";
  }
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  const std::string programPath = ProgramPath(argc > 0 ? argv[0] : nullptr);
  const std::string programName = BaseNameWithoutExtension(programPath);
  ConsoleOptions options;
  if (const int done = ReadCommandLine(argc, argv, programName, kVersion, options); done >= 0) {
    return done;
  }

  // The port first: a device path becomes a COM number before the port list is made.
  FileProfile profile(FileProfile::DefaultPath(support::kCompany, programName));
  ComPortDevices devices;
  std::vector<int> ports;
  if (!PortsOfCommandLine(options, programName, profile, devices, ports))
    return ToInt(ExitCode::kUsage);

  SignalInterrupts interrupts;
  MonotonicClock clock;
  TermiosSerial serial([&devices](int com) { return devices.DevicePath(com); });
  DevSerialPortList portList(devices);
  DevPortNames portNames(devices);
  StdinInput input;
  // --json: the event lines alone on standard output, everything else on standard error.
  ConsoleOutput output(options.json ? std::cerr : std::cout, std::cerr,
                       isatty(options.json ? STDERR_FILENO : STDOUT_FILENO) == 1);
  ConsoleEnvironment environment{clock,
                                 serial,
                                 profile,
                                 portList,
                                 input,
                                 interrupts,
                                 output,
                                 programName,
                                 DirectoryOf(programPath),
                                 portNames,
                                 options.json ? &std::cout : nullptr,
                                 HostName(),
                                 [&devices]() -> std::unique_ptr<SerialBackend> {
                                   return std::make_unique<TermiosSerial>(
                                       [&devices](int com) { return devices.DevicePath(com); });
                                 }};

  return ToInt(RunConsoleCommand(environment, options, ports));
}
