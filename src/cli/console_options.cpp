#include "console_options.h"

#include <algorithm>
#include <charconv>
#include <iostream>
#include <iterator>

#include "exit_codes.h"
#include "update/link_protocol.h"

namespace {
struct OptionSpec {
  const char* name;
  bool takesValue;
};
constexpr OptionSpec kOptions[] = {
    {"--port", true},
    {"--firmware-dir", true},
    {"--yes", false},
    {"-y", false},
    {"--trace", true},
    {"--image", true},
    {"--list-ports", false},
    {"--help", false},
    {"-h", false},
    {"--version", false},
    {"--repeat", false},
    {"--count", true},
    {"--allow-repeat", false},
    {"--report", true},
    {"--json", false},
    {"--setup-timeout", true},
    {"--baud", true},
};

// A whole decimal number from `minimum` to `maximum`; false for anything else.
bool ReadNumber(const std::string& text, uint32_t minimum, uint32_t maximum, uint32_t& number) {
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  return error == std::errc() && stop == end && number >= minimum && number <= maximum;
}

// The --setup-timeout value: seconds, with up to three decimals.
bool ReadSeconds(const std::string& text, uint32_t& milliseconds) {
  const std::size_t point = text.find('.');
  uint32_t whole = 0, fraction = 0;
  const std::string wholeText = text.substr(0, point);
  std::string fractionText = point == std::string::npos ? "" : text.substr(point + 1);
  if (wholeText.empty() && fractionText.empty())
    return false;
  if (!wholeText.empty() && !ReadNumber(wholeText, 0, 1000000, whole))
    return false;
  if (point != std::string::npos) {
    if (fractionText.empty() || fractionText.size() > 3)
      return false;
    fractionText.resize(3, '0');
    if (!ReadNumber(fractionText, 0, 999, fraction))
      return false;
  }
  milliseconds = whole * 1000 + fraction;
  return milliseconds > 0;
}

const OptionSpec* FindOption(const std::string& name) {
  for (const OptionSpec& spec : kOptions) {
    if (name == spec.name)
      return &spec;
  }
  return nullptr;
}

// How the user asks the program to stop, besides the end of input.
#ifdef _WIN32
#define kStopRequests "Ctrl-C or Ctrl-Break"
#else
#define kStopRequests "Ctrl-C or SIGTERM"
#endif

ParseResult Refuse(std::string error) {
  ParseResult result;
  result.error = std::move(error);
  return result;
}
}  // namespace

ParseResult ParseConsoleArguments(const std::vector<std::string>& arguments) {
  ConsoleOptions options;
  bool checkCommand = false, listPorts = false, help = false, version = false;
  std::vector<std::string> updateOnly, checkOnly;

  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "check" && i == 0) {
      checkCommand = true;
      continue;
    }
    if (argument.empty() || argument[0] != '-')
      return Refuse("unexpected argument \"" + argument + "\"");

    std::string name = argument, value;
    bool inlineValue = false;
    if (const std::size_t equals = argument.find('='); equals != std::string::npos) {
      name = argument.substr(0, equals);
      value = argument.substr(equals + 1);
      inlineValue = true;
    }
    const OptionSpec* spec = FindOption(name);
    if (spec == nullptr)
      return Refuse("unknown option " + name);
    if (spec->takesValue && !inlineValue) {
      if (i + 1 >= arguments.size())
        return Refuse(name + " needs a value");
      value = arguments[++i];
    }
    if (!spec->takesValue && inlineValue)
      return Refuse(name + " takes no value");
    if (spec->takesValue && value.empty())
      return Refuse(name + " needs a value");

    if (name == "--port") {
      options.port = value;
      updateOnly.push_back(name);
    } else if (name == "--firmware-dir") {
      options.firmwareDirectory = value;
    } else if (name == "--yes" || name == "-y") {
      options.yes = true;
      updateOnly.push_back(name);
    } else if (name == "--trace") {
      options.traceFile = value;
      updateOnly.push_back(name);
    } else if (name == "--image") {
      options.imageFile = value;
      checkOnly.push_back(name);
    } else if (name == "--list-ports") {
      listPorts = true;
    } else if (name == "--help" || name == "-h") {
      help = true;
    } else if (name == "--version") {
      version = true;
    } else if (name == "--repeat") {
      options.loop = true;
      updateOnly.push_back(name);
    } else if (name == "--count") {
      uint32_t count = 0;
      if (!ReadNumber(value, 1, 1000000, count))
        return Refuse("--count " + value + ": give a number of modules from 1");
      options.loop = true;
      options.count = static_cast<int>(count);
      updateOnly.push_back(name);
    } else if (name == "--allow-repeat") {
      options.allowRepeat = true;
      updateOnly.push_back(name);
    } else if (name == "--report") {
      options.reportFile = value;
      updateOnly.push_back(name);
    } else if (name == "--json") {
      options.json = true;
      updateOnly.push_back(name);
    } else if (name == "--setup-timeout") {
      if (!ReadSeconds(value, options.setupTimeoutMs))
        return Refuse("--setup-timeout " + value + ": give a number of seconds above 0");
      updateOnly.push_back(name);
    } else if (name == "--baud") {
      uint32_t baud = 0;
      const auto& rates = protocol::kBaudRates;
      if (!ReadNumber(value, 1, UINT32_MAX, baud) ||
          std::find(std::begin(rates), std::end(rates), baud) == std::end(rates))
        return Refuse("--baud " + value +
                      ": give one of 9600, 57600, 14400, 19200, 38400 and 115200");
      options.baud = baud;
      updateOnly.push_back(name);
    }
  }

  if (help) {
    options.command = ConsoleCommand::kHelp;
  } else if (version) {
    options.command = ConsoleCommand::kVersion;
  } else if (checkCommand) {
    if (listPorts)
      return Refuse("check and --list-ports cannot be combined");
    if (!updateOnly.empty())
      return Refuse(updateOnly.front() + " does not apply to check");
    options.command = ConsoleCommand::kCheck;
  } else {
    if (!checkOnly.empty())
      return Refuse(checkOnly.front() + " belongs to the check command");
    if (listPorts) {
      if (!updateOnly.empty())
        return Refuse(updateOnly.front() + " does not apply to --list-ports");
      options.command = ConsoleCommand::kListPorts;
    }
  }
  ParseResult result;
  result.ok = true;
  result.options = std::move(options);
  return result;
}

std::string ConsoleUsage(const std::string& programName) {
  return "Usage:\n"
         "  " +
         programName +
         " [--port PORT] [--firmware-dir DIR] [--yes] [--trace FILE]\n"
         "      [--repeat | --count N] [--allow-repeat] [--report FILE] [--json]\n"
         "      [--setup-timeout SECONDS] [--baud RATE]\n"
         "  " +
         programName +
         " check [--firmware-dir DIR] [--image FILE]\n"
         "  " +
         programName +
         " --list-ports\n"
         "\n"
         "Updates the firmware of a Korvane Quorvanta Mobile Module over the air, through a\n"
         "Korvane Tessalink base station on a serial port.\n"
         "\n"
         "Options:\n"
         "  --port PORT         the base station's serial port: COM1 to COM21"
#ifdef _WIN32
         ".\n"
#else
         ", or a device\n"
         "                      path (/dev/ttyUSB0, a pseudo-terminal, a udev link).\n"
         "                      COM1-8 are /dev/ttyS0-7, COM9-16 /dev/ttyUSB0-7 and\n"
         "                      COM17-21 /dev/ttyACM0-4.\n"
#endif
         "                      Default: the port of the last successful update, else\n"
         "                      the lowest port found.\n"
         "  --firmware-dir DIR  where the firmware description file\n"
         "                      Korvane_Quorvanta_Mobile_Module.txt and the HEX file lie.\n"
         "                      Default: the program's own directory.\n"
         "  --yes, -y           start the update as soon as the module's four control\n"
         "                      parameters have arrived, without asking for Enter.\n"
         "  --trace FILE        write every byte sent and received, with timestamps.\n"
         "  --baud RATE         try only this rate (9600, 57600, 14400, 19200, 38400 or\n"
         "                      115200) instead of searching all six.\n"
         "  --setup-timeout SECONDS\n"
         "                      when the module's Setup report has not arrived in time,\n"
         "                      cancel the update (exit status 10). Default: wait.\n"
         "  --report FILE       append one record per module attempt: JSON Lines, or CSV\n"
         "                      with a header row when FILE ends in .csv.\n"
         "  --json              the update's events as JSON Lines on standard output; every\n"
         "                      other line goes to standard error.\n"
         "  --list-ports        list the serial ports found and exit.\n"
         "  --help, -h          show this help.   --version  show the version.\n"
         "\n"
         "Production loop:\n"
         "  --repeat            update one module after another until stopped.\n"
         "  --count N           stop after N modules updated or failed.\n"
         "  --allow-repeat      update a module ID again that was already updated in this\n"
         "                      run (by default it is turned down with Cancel Update).\n"
         "  A failed module does not end the loop. End of input, " kStopRequests
         ", while the\n"
         "  loop waits for the next module ends it; the exit status is then 0 when every\n"
         "  module succeeded, else that of the first failure.\n"
         "\n"
         "check: validates the description file and the HEX file without touching a port;\n"
         "  --image FILE writes the page image the module would receive.\n"
         "\n"
         "During an update the program prints the control-parameter instructions and the\n"
         "module's values as they arrive, then waits for Enter. End of input, " kStopRequests
         ",\n"
         "cancels and restores the base station; a second one cuts the serial link at\n"
         "once (the port is still closed properly), a third ends the program on the spot.\n"
         "\n" +
         ExitCodeHelp();
}

int ReadCommandLine(int argc, char** argv, const std::string& programName,
                    const std::string& version, ConsoleOptions& options) {
  const ParseResult parsed =
      ParseConsoleArguments(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  if (!parsed.ok) {
    std::cerr << programName << ": " << parsed.error << "\nTry '" << programName << " --help'.\n";
    return ToInt(ExitCode::kUsage);
  }
  options = parsed.options;
  if (options.command == ConsoleCommand::kHelp) {
    std::cout << ConsoleUsage(programName);
    return ToInt(ExitCode::kSuccess);
  }
  if (options.command == ConsoleCommand::kVersion) {
    std::cout << programName << " " << version << "\n";
    return ToInt(ExitCode::kSuccess);
  }
  return -1;
}
