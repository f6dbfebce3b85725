#pragma once
#include <functional>
#include <ostream>
#include <string>

#include "console_input.h"
#include "console_options.h"
#include "console_output.h"
#include "core/clock.h"
#include "core/profile_store.h"
#include "exit_codes.h"
#include "serial/serial_backend.h"
#include "ui/companion_windows.h"
#include "ui/serial_port_list.h"

// What the console commands need from the platform. The update itself runs in the same
// dialog logic as the Windows program; this is only how it reaches the world.
struct ConsoleEnvironment {
  Clock& clock;
  SerialBackend& serial;
  ProfileStore& profile;
  SerialPortList& portList;
  CompanionWindows& companion;
  ConsoleInput& input;
  const InterruptCounter& interrupts;
  ConsoleOutput& output;
  // The program file's name without extension: the profile's name.
  std::string applicationName;
  // The program's own directory with its trailing separator, or empty.
  std::string programDirectory;
  // The device behind COMn, for the messages (empty where the name says it all).
  std::function<std::string(int port)> describePort;
  // --json: where the event lines go (standard output; `output` then writes to standard
  // error only).
  std::ostream* jsonOut = nullptr;
  // This computer's name, for the report records.
  std::string hostName{};
};

// A directory as the dialog keeps it: with its trailing separator ("" stays "").
std::string WithTrailingSeparator(const std::string& directory);

// The update: the firmware status, the port (`port`, 1 to 21, or 0 for the saved or lowest
// one), the control-parameter dialog and the transfer; the exit status tells how it ended.
// With --repeat or --count, one module after another (production_loop.h).
ExitCode RunUpdateCommand(ConsoleEnvironment& environment, const ConsoleOptions& options, int port);

// check: the description file and the HEX file, as an update would check and convert them,
// without a port; writes the page image to options.imageFile when given.
ExitCode RunCheckCommand(ConsoleEnvironment& environment, const ConsoleOptions& options);

// --list-ports: the COM ports the system lists, the saved one marked.
ExitCode RunListPortsCommand(ConsoleEnvironment& environment);

// A one-line explanation of an exit status.
const char* ExitCodeMeaning(ExitCode code);

// The command the options name: update, check or list the ports.
ExitCode RunConsoleCommand(ConsoleEnvironment& environment, const ConsoleOptions& options,
                           int port);
