#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What the command line asks for.
enum class ConsoleCommand { kUpdate, kCheck, kListPorts, kHelp, kVersion, kServe };

struct ConsoleOptions {
  ConsoleCommand command = ConsoleCommand::kUpdate;
  // --port: COMn, or on Linux a device path; several make a line of stations. None: the saved
  // or the lowest port.
  std::vector<std::string> ports;
  // --firmware-dir: where the description file lies. Empty: the program's default.
  std::string firmwareDirectory;
  // --yes: start the update as soon as the module's four parameters have arrived.
  bool yes = false;
  // --trace FILE: every byte on the serial line.
  std::string traceFile;
  // check --image FILE: where to write the page image.
  std::string imageFile;

  // The production loop: --repeat (until stopped) or --count N (stops after N modules that
  // were updated or failed). `loop` is set by either.
  bool loop = false;
  int count = 0;  // 0: no limit
  // --allow-repeat: a module ID already updated in this run is updated again.
  bool allowRepeat = false;
  // --report FILE: one record per module attempt, appended (CSV when the name ends in .csv).
  std::string reportFile;
  // --json: the update's events as JSON Lines on standard output, the rest on standard error.
  bool json = false;
  // --setup-timeout SECONDS: how long to wait for the Setup report; 0 waits as the dialog does.
  uint32_t setupTimeoutMs = 0;
  // --baud RATE: the only rate tried; 0 searches all six.
  uint32_t baud = 0;
  // --claim-lease SECONDS: how long a station's claim on a module holds without renewal.
  int64_t claimLeaseMs = 15000;

  // --history DB: the line's history (update, serve).
  // serve: the line's dashboard over the history --history names, on --listen ADDRESS:PORT
  // (empty: the default), guarded by --token (empty: none on loopback, else one made up), the
  // shift starting at the times of --shifts (empty: the default).
  std::string historyTarget;
  std::string listen;
  std::string token;
  std::string shifts;
};

struct ParseResult {
  bool ok = false;
  ConsoleOptions options;
  // Why the command line was refused.
  std::string error;
};

// Parses the arguments after the program name. Options take their value as the next
// argument or after "=" ("--port=COM3"); none may be given twice. "check" is a command of its
// own with options of its own.
ParseResult ParseConsoleArguments(const std::vector<std::string>& arguments);

// The --help text for the program called `programName`; it ends with the exit status table.
std::string ConsoleUsage(const std::string& programName);

// Reads the command line and answers --help, --version and usage errors itself. Returns the
// exit status when the program is done, or -1 with `options` filled for the real work.
int ReadCommandLine(int argc, char** argv, const std::string& programName,
                    const std::string& version, ConsoleOptions& options);
