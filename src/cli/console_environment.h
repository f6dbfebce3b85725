#pragma once
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "console_input.h"
#include "console_output.h"
#include "core/clock.h"
#include "core/profile_store.h"
#include "port_names.h"
#include "serial/serial_backend.h"
#include "serial/serial_port_list.h"

// What the console commands need from the platform: how the program reaches the world.
struct ConsoleEnvironment {
  Clock& clock;
  SerialBackend& serial;
  ProfileStore& profile;
  SerialPortList& portList;
  ConsoleInput& input;
  const InterruptCounter& interrupts;
  ConsoleOutput& output;
  // The program file's name without extension: the profile's name.
  std::string applicationName;
  // The program's own directory with its trailing separator, or empty.
  std::string programDirectory;
  // The devices behind the COM numbers, where the system has them.
  const PortNames& portNames;
  // --json: where the event lines go (standard output; `output` then writes to standard
  // error only).
  std::ostream* jsonOut = nullptr;
  // This computer's name, for the report records.
  std::string hostName{};
  // A serial channel of its own for each station of a line (the update of one port uses
  // `serial`).
  std::function<std::unique_ptr<SerialBackend>()> newSerial{};
};

// A directory as the commands use it: with its trailing separator ("" stays "").
std::string WithTrailingSeparator(const std::string& directory);

// "COM3", or "COM3 (/dev/ttyUSB2)" where a device stands behind the name.
std::string PortName(const ConsoleEnvironment& environment, int port);
