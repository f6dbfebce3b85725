#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the command line asks for.
enum class ConsoleCommand { kUpdate, kCheck, kListPorts, kHelp, kVersion, kServe, kHistory };

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

  // history: the attempts in the history --history names that meet every condition given,
  // newest first: the module (--module ID), started at or after --since (read with the
  // command line), the result class or "failed" (--result), the station "<host>:<port>"
  // (--station); at most --limit (0: all). With --by-station, each station's counts since
  // --since instead. --format: "table", "csv" or "json".
  std::string moduleId;
  std::optional<int64_t> sinceMs;
  std::string result;
  std::string station;
  uint32_t limit = 0;
  bool byStation = false;
  std::string format = "table";
};

struct ParseResult {
  bool ok = false;
  ConsoleOptions options;
  // Why the command line was refused.
  std::string error;
  // With kHelp: the command whose own help was asked for ("history"), else empty.
  std::string helpFor;
};

// Parses the arguments after the program name. Options take their value as the next
// argument or after "=" ("--port=COM3"); none may be given twice. "check" is a command of its
// own with options of its own.
ParseResult ParseConsoleArguments(const std::vector<std::string>& arguments);

// The --help text for the program called `programName`; it ends with the exit status table.
// `command` "history": that command's own help instead.
std::string ConsoleUsage(const std::string& programName, const std::string& command = "");

// Reads the command line and answers --help, --version and usage errors itself. Returns the
// exit status when the program is done, or -1 with `options` filled for the real work.
int ReadCommandLine(int argc, char** argv, const std::string& programName,
                    const std::string& version, ConsoleOptions& options);
