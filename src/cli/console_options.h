#pragma once
#include <string>
#include <vector>

// What the command line asks for.
enum class ConsoleCommand { kUpdate, kCheck, kListPorts, kHelp, kVersion };

struct ConsoleOptions {
  ConsoleCommand command = ConsoleCommand::kUpdate;
  // --port: COMn, or on Linux a device path. Empty: the saved or the lowest port.
  std::string port;
  // --firmware-dir: where the description file lies. Empty: the program's own directory.
  std::string firmwareDirectory;
  // --yes: start the update as soon as the module's four parameters have arrived.
  bool yes = false;
  // --trace FILE: every byte on the serial line.
  std::string traceFile;
  // check --image FILE: where to write the page image.
  std::string imageFile;
};

struct ParseResult {
  bool ok = false;
  ConsoleOptions options;
  // Why the command line was refused.
  std::string error;
};

// Parses the arguments after the program name. Options take their value as the next
// argument or after "=" ("--port=COM3"). "check" is a command of its own; --image belongs to
// it and --port, --yes and --trace do not.
ParseResult ParseConsoleArguments(const std::vector<std::string>& arguments);

// The --help text for the program called `programName`.
std::string ConsoleUsage(const std::string& programName);

// Reads the command line and answers --help, --version and usage errors itself. Returns the
// exit status when the program is done, or -1 with `options` filled for the real work.
int ReadCommandLine(int argc, char** argv, const std::string& programName,
                    const std::string& version, ConsoleOptions& options);
