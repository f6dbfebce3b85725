// kqm-update.exe: the firmware update as a Windows console program, over the same update
// library as the Windows program, with the comm API, the registry and the tick counter.
#include <io.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "com_port_name.h"
#include "console_commands.h"
#include "console_options.h"
#include "console_output.h"
#include "firmware_update_app.h"
#include "interrupts.h"
#include "program_version.h"
#include "registry_port_list.h"
#include "registry_profile_store.h"
#include "stdin_input.h"
#include "win32_api.h"
#include "win32_clock.h"
#include "win32_serial_backend.h"

namespace {
// The program file's path from the system: a console program is often started by name from
// the PATH, and its command line then says nothing about where it lies.
std::string ProgramPath() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, length < MAX_PATH ? length : 0);
}

std::string ComputerName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD length = sizeof name;
  return GetComputerNameA(name, &length) ? std::string(name, length) : "";
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}
}  // namespace

int main(int argc, char** argv) {
  const std::string programPath = ProgramPath();
  const std::string programName = ApplicationNameFromModulePath(programPath);
  ConsoleOptions options;
  if (const int done = ReadCommandLine(argc, argv, programName, PROGRAM_VERSION, options);
      done >= 0) {
    return done;
  }
  std::vector<int> ports;
  for (const std::string& text : options.ports) {
    bool isComName = false;
    const int port = ParseComName(text, isComName);
    if (port == 0) {
      std::cerr << programName << ": --port " << text << ": give COM1 to COM21\n";
      return ToInt(ExitCode::kUsage);
    }
    ports.push_back(port);
  }
  if (const std::string repeated = RepeatedPortError(options.ports, ports); !repeated.empty()) {
    std::cerr << programName << ": " << repeated << "\n";
    return ToInt(ExitCode::kUsage);
  }

  ConsoleInterrupts interrupts;
  Win32Clock clock;
  Win32SerialBackend serial;
  RegistryProfileStore profile(CFirmwareUpdateApp::kRegistryKey, programName);
  RegistryPortList portList;
  StdinInput input;
  const PortNames portNames;
  // --json: the event lines alone on standard output, everything else on standard error.
  ConsoleOutput output(options.json ? std::cerr : std::cout, std::cerr,
                       _isatty(_fileno(options.json ? stderr : stdout)) != 0);
  ConsoleEnvironment environment{
      clock,
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
      ComputerName(),
      []() -> std::unique_ptr<SerialBackend> { return std::make_unique<Win32SerialBackend>(); }};

  return ToInt(RunConsoleCommand(environment, options, ports));
}
