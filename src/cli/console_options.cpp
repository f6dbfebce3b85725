#include "console_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <iostream>
#include <iterator>
#include <memory>

#include "exit_codes.h"
#include "history/history_format.h"
#include "history_question.h"
#include "update/link_protocol.h"

namespace {
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

// "9600, 57600, 14400, 19200, 38400 or 115200": the rates of the search, in its order.
std::string BaudRateList() {
  std::string list;
  const auto& rates = protocol::kBaudRates;
  for (std::size_t i = 0; i < std::size(rates); ++i) {
    if (i != 0)
      list += i + 1 == std::size(rates) ? " or " : ", ";
    list += std::to_string(rates[i]);
  }
  return list;
}

// Now, for --since: milliseconds since 1970-01-01 00:00 UTC.
int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// A check of an option's value that stores what it read; the text is the error's reason.
CLI::Validator Reader(const std::string& name, std::function<bool(const std::string&)> read,
                      std::string reason) {
  return CLI::Validator(
      [read = std::move(read), reason = std::move(reason)](std::string& value) {
        return read(value) ? std::string() : value + ": " + reason;
      },
      "", name);
}

// N of --count and --limit: a number of `what` from 1 to a million.
CLI::Validator CountReader(const std::string& what) {
  return Reader(
      "N",
      [](const std::string& text) {
        uint32_t count = 0;
        return ReadNumber(text, 1, 1000000, count);
      },
      "give a number of " + what + " from 1");
}

#ifdef _WIN32
#define STOP_REQUESTS "Ctrl-C or Ctrl-Break"
#define PORT_HELP "the base station's serial port: COM1 to COM21.\n"
#else
#define STOP_REQUESTS "Ctrl-C or SIGTERM"
#define PORT_HELP                                                \
  "the base station's serial port: COM1 to COM21, or a device\n" \
  "path (/dev/ttyUSB0, a pseudo-terminal, a udev link).\n"       \
  "COM1-8 are /dev/ttyS0-7, COM9-16 /dev/ttyUSB0-7 and\n"        \
  "COM17-21 /dev/ttyACM0-4.\n"
#endif

// The help's layout: the synopsis, the option groups in the order declared, the footer.
class HelpFormatter : public CLI::Formatter {
 public:
  explicit HelpFormatter(std::string usage) : usage_(std::move(usage)) { column_width(22); }
  std::string make_usage(const CLI::App*, std::string) const override { return usage_; }
  // The description is part of the usage text: after the synopsis.
  std::string make_description(const CLI::App*) const override { return {}; }
  // "--yes, -y": the long name first.
  std::string make_option_name(const CLI::Option* option, bool) const override {
    std::string names;
    for (const std::string& name : option->get_lnames())
      names += (names.empty() ? "--" : ", --") + name;
    for (const std::string& name : option->get_snames())
      names += (names.empty() ? "-" : ", -") + name;
    return names;
  }
  // The value's name only: what excludes what is said in words.
  std::string make_option_opts(const CLI::Option* option) const override {
    const std::string& text = option->get_option_text();
    return text.empty() ? std::string() : " " + text;
  }

 private:
  std::string usage_;
};

// The history command's lines of the synopsis.
std::string HistorySynopsis(const std::string& program) {
  return "  " + program +
         " history --history DB [--module ID] [--since TIME] [--result CLASS]\n"
         "      [--station S] [--limit N] [--by-station] [--format table|csv|json]\n";
}

std::string Synopsis(const std::string& program) {
  return "Usage:\n  " + program +
         " [--port PORT] [--firmware-dir DIR] [--yes] [--trace FILE]\n"
         "      [--repeat | --count N] [--allow-repeat] [--report FILE] [--json]\n"
         "      [--setup-timeout SECONDS] [--baud RATE] [--history DB]\n  " +
         program + " --port PORT --port PORT ... --yes [...]\n  " + program +
         " check [--firmware-dir DIR] [--image FILE]\n  " + program + " --list-ports\n  " +
         program +
         " serve --history DB [--listen ADDRESS:PORT] [--token TEXT]\n"
         "      [--shifts HH:MM,...]\n" +
         HistorySynopsis(program) +
         "\n"
         "Updates the firmware of a Korvane Quorvanta Mobile Module over the air,\n"
         "through a Korvane Tessalink base station on a serial port.\n";
}

std::string Footer() {
  return "A line of stations:\n"
         "  With --port given once per base station, each station updates one module\n"
         "  after another on its own, at once as with --yes; a terminal shows a line per\n"
         "  station and the totals. Each module is claimed before its update: one that\n"
         "  another station is updating, or that was already updated with this firmware\n"
         "  (in this run or in --history), is turned down with Cancel Update and recorded\n"
         "  as skipped. A station whose port or base station fails is tried again after\n"
         "  2, 4, 8, 16, then every 30 s while the others go on; --count N counts over the\n"
         "  line; --trace FILE writes FILE.1, FILE.2, ... per station. Ctrl-C stops every\n"
         "  station cleanly.\n"
         "\n"
         "Stopping:\n"
         "  During an update the program prints the control-parameter instructions and the\n"
         "  module's values as they arrive, then waits for Enter. End of input, or\n"
         "  " STOP_REQUESTS
         ", cancels and restores the base station; during a transfer,\n"
         "  which cannot be stopped safely, the transfer finishes first. A second one cuts\n"
         "  the serial link at once (the port is still closed properly; a module cut off\n"
         "  in its transfer stays in its boot loader, where the next update finds it); a\n"
         "  third ends the program on the spot. A failed module does not end a loop; a\n"
         "  stop while the loop waits for the next module ends it, with exit status 0 when\n"
         "  every module succeeded, else that of the first failure.\n"
         "\n" +
         ExitCodeHelp();
}

// Everything the command line may say, declared once each.
struct CommandLine {
  explicit CommandLine(const std::string& program);

  CLI::App app;
  CLI::App* check = nullptr;
  CLI::App* serve = nullptr;
  CLI::App* history = nullptr;
  ConsoleOptions options;
  bool listPorts = false;
  bool version = false;

 private:
  void DeclareUpdate();
  void DeclareLoop();
  void DeclareCheck();
  void DeclareServe();
  void DeclareHistory(const std::string& program);
};

constexpr const char kHistoryHelp[] =
    "the line's history: an SQLite file, or a PostgreSQL\n"
    "URL or connection string.";

// An option given twice is a mistake, flags included.
// An option given twice is a mistake, flags included; --port names each station of a line.
void OnceEach(CLI::App& app) {
  for (CLI::Option* option : app.get_options()) {
    if (option->get_name() != "--help" && option->get_name() != "--port")
      option->multi_option_policy(CLI::MultiOptionPolicy::Throw);
  }
}

CommandLine::CommandLine(const std::string& program) : app("", program) {
  app.formatter(std::make_shared<HelpFormatter>(Synopsis(program)));
  app.footer(Footer());
  app.set_help_flag("--help,-h", "show this help.");
  // Mistakes are told in our words below, not thrown.
  app.allow_extras();
  DeclareUpdate();
  DeclareLoop();
  DeclareCheck();
  DeclareServe();
  DeclareHistory(program);
  app.add_flag("--list-ports", listPorts, "list the serial ports found and exit.");
  app.add_flag("--version", version, "show the version.");
  OnceEach(app);
}

void CommandLine::DeclareUpdate() {
  ConsoleOptions& o = options;
  app.add_option("--port", o.ports,
                 PORT_HELP
                 "Default: the port of the last successful update, else\n"
                 "the lowest port found. Given several times: a line of\n"
                 "stations, one per port (below).")
      ->option_text("PORT");
  app.add_option("--firmware-dir", o.firmwareDirectory,
                 "where the firmware description file\n"
                 "Korvane_Quorvanta_Mobile_Module.txt and the HEX file lie.\n"
                 "Default: the program's own directory"
#ifndef _WIN32
                 " when the description\n"
                 "file lies there, else the current directory"
#endif
                 ".")
      ->option_text("DIR");
  app.add_flag("--yes,-y", o.yes,
               "start the update as soon as the module's four control\n"
               "parameters have arrived, without asking for Enter.");
  app.add_option("--trace", o.traceFile, "write every byte sent and received, with timestamps.")
      ->option_text("FILE");
  app.add_option("--baud", o.baud,
                 "try only this rate instead of searching all six:\n" + BaudRateList() + ".")
      ->option_text("RATE")
      ->check(Reader(
          "RATE",
          [](const std::string& text) {
            uint32_t baud = 0;
            const auto& rates = protocol::kBaudRates;
            return ReadNumber(text, 1, UINT32_MAX, baud) &&
                   std::find(std::begin(rates), std::end(rates), baud) != std::end(rates);
          },
          "give one of " + BaudRateList()));
  app.add_option_function<std::string>(
         "--setup-timeout", [&o](const std::string& text) { ReadSeconds(text, o.setupTimeoutMs); },
         "when the module's Setup report has not arrived in time,\n"
         "cancel the update (exit status 10). Default: wait.")
      ->option_text("SECONDS")
      ->check(Reader(
          "SECONDS",
          [](const std::string& text) {
            uint32_t milliseconds = 0;
            return ReadSeconds(text, milliseconds);
          },
          "give a number of seconds above 0"));
  app.add_option("--report", o.reportFile,
                 "append one record per module attempt: JSON Lines, or CSV\n"
                 "with a header row when FILE ends in .csv.")
      ->option_text("FILE");
  app.add_flag("--json", o.json,
               "the update's events as JSON Lines on standard output;\n"
               "every other line goes to standard error.");
}

void CommandLine::DeclareLoop() {
  ConsoleOptions& o = options;
  const std::string group = "Production loop";
  CLI::Option* repeat =
      app.add_flag("--repeat", o.loop, "update one module after another until stopped.")
          ->group(group);
  app.add_option_function<int>(
         "--count",
         [&o](int count) {
           o.loop = true;
           o.count = count;
         },
         "stop after N modules updated or failed.")
      ->option_text("N")
      ->group(group)
      ->excludes(repeat)
      ->check(CountReader("modules"));
  app.add_flag("--allow-repeat", o.allowRepeat,
               "update a module ID again that was already updated with this\n"
               "firmware (by default it is turned down with Cancel Update).")
      ->group(group);
  app.add_option("--history", o.historyTarget,
                 "keep every attempt and the stations' claims in DB: an\n"
                 "SQLite file, or a PostgreSQL URL or connection string\n"
                 "(several PCs share one server). Default: this run only.")
      ->option_text("DB")
      ->group(group);
  app.add_option_function<std::string>(
         "--claim-lease",
         [&o](const std::string& text) {
           uint32_t milliseconds = 0;
           ReadSeconds(text, milliseconds);
           o.claimLeaseMs = milliseconds;
         },
         "how long a station's claim on a module holds when the\n"
         "station stops renewing it (it died). Default: 15.")
      ->option_text("SECONDS")
      ->group(group)
      ->check(Reader(
          "SECONDS",
          [](const std::string& text) {
            uint32_t milliseconds = 0;
            return ReadSeconds(text, milliseconds);
          },
          "give a number of seconds above 0"));
}

void CommandLine::DeclareCheck() {
  check = app.add_subcommand("check",
                             "validate the firmware files without touching a port;\n"
                             "--image FILE writes the page image a module would get.");
  check->set_help_flag("--help,-h", "show this help.");
  check->allow_extras();
  check
      ->add_option("--firmware-dir", options.firmwareDirectory,
                   "where the description file and the HEX file lie.")
      ->option_text("DIR");
  check->add_option("--image", options.imageFile, "write the page image the module would receive.")
      ->option_text("FILE");
}

void CommandLine::DeclareServe() {
  serve = app.add_subcommand("serve",
                             "the line at a glance: a live web page over the history\n"
                             "that the stations write, until Ctrl-C or SIGTERM.");
  serve->set_help_flag("--help,-h", "show this help.");
  serve->allow_extras();
  serve->add_option("--history", options.historyTarget, kHistoryHelp)->option_text("DB");
  serve
      ->add_option("--listen", options.listen,
                   "where the page is served. Default: 127.0.0.1:8080, this\n"
                   "computer only. Any other address needs the token.")
      ->option_text("ADDRESS:PORT");
  serve
      ->add_option("--token", options.token,
                   "the token every request must carry. Default: none on\n"
                   "127.0.0.1, else one made up and printed at start.")
      ->option_text("TEXT");
  serve
      ->add_option("--shifts", options.shifts,
                   "when shifts start, local time. Default: 06:00,14:00,22:00.")
      ->option_text("HH:MM,...");
  OnceEach(*serve);
}

// history --help, on its own: its synopsis and purpose, its options, its exit statuses.
void HelpOfHistory(CLI::App& history, const std::string& program) {
  history.formatter(std::make_shared<HelpFormatter>(
      "Usage:\n" + HistorySynopsis(program) +
      "\nAsks the line's history what a line supervisor asks: what happened to a module\n"
      "(--module), what failed today (--result failed --since today), how many modules\n"
      "each station updated (--by-station --since yesterday). Newest first.\n"));
  history.footer(
      "Exit status:\n"
      "    0  the question was answered (also when no attempt matches)\n"
      "    2  bad command line, or the history cannot be opened or read\n");
}

void CommandLine::DeclareHistory(const std::string& program) {
  ConsoleOptions& o = options;
  history = app.add_subcommand("history",
                               "what the line's history holds: a module's attempts, the\n"
                               "failures since a time, each station's count (history --help).");
  HelpOfHistory(*history, program);
  history->set_help_flag("--help,-h", "show this help.");
  history->allow_extras();
  const auto given = [](const std::string& text) { return !text.empty(); };
  history->add_option("--history", o.historyTarget, kHistoryHelp)->option_text("DB");
  CLI::Option* byStation = history->add_flag("--by-station", o.byStation,
                                             "each station's modules updated, failed and skipped.");
  history->add_option("--module", o.moduleId, "the attempts of this module ID.")
      ->option_text("ID")
      ->excludes(byStation)
      ->check(Reader("ID", given, "give a module ID"));
  history
      ->add_option_function<std::string>(
          "--since", [&o](const std::string& text) { o.sinceMs = ParseSince(text, NowMs()); },
          "the attempts started since TIME: today, yesterday,\n"
          "2026-12-08 or 2026-12-08T14:00 (local time),\n"
          "2026-12-08T14:00Z (UTC), or back from now: 30m, 8h, 2d.")
      ->option_text("TIME")
      ->check(Reader(
          "TIME", [](const std::string& text) { return ParseSince(text, NowMs()).has_value(); },
          SinceForms()));
  history->add_option("--result", o.result, "the attempts of this result class, or failed.")
      ->option_text("CLASS")
      ->excludes(byStation)
      ->check(Reader(
          "CLASS", [](const std::string& text) { return IsResultQuestion(text); },
          ResultQuestions()));
  history->add_option("--station", o.station, "the attempts of this station (HOST:PORT).")
      ->option_text("S")
      ->excludes(byStation)
      ->check(Reader("S", given, "give a station as HOST:PORT"));
  history->add_option("--limit", o.limit, "at most N attempts, the newest.")
      ->option_text("N")
      ->excludes(byStation)
      ->check(CountReader("attempts"));
  history->add_option("--format", o.format, "table (the default), csv or json (JSON Lines).")
      ->option_text("FORMAT")
      ->check(Reader(
          "FORMAT",
          [](const std::string& text) { return history::ParseOutputFormat(text).has_value(); },
          "give table, csv or json"));
  OnceEach(*history);
}

// What was left over, in our words: an option of the update given to check, or anything the
// program does not know. Empty when nothing was.
std::string Leftover(CommandLine& line) {
  CLI::App* command = nullptr;
  for (CLI::App* subcommand : {line.check, line.serve, line.history}) {
    if (subcommand->parsed())
      command = subcommand;
  }
  const std::vector<std::string> extras = command ? command->remaining() : line.app.remaining();
  if (extras.empty())
    return {};
  const std::string& first = extras.front();
  const std::string name = first.substr(0, first.find('='));
  if (command && name.rfind("--", 0) == 0 && line.app.get_option_no_throw(name) != nullptr)
    return name + " does not apply to " + command->get_name();
  if (command != line.check && name == "--image")
    return "--image belongs to the check command";
  if (name.rfind("-", 0) == 0)
    return "unknown option " + name;
  return "unexpected argument \"" + first + "\"";
}

// CLI11's reasons, said as this program says them.
std::string Reason(const CLI::ParseError& error) {
  std::string text = error.what();
  const std::size_t colon = text.find(": ");
  const std::string name = colon == std::string::npos ? std::string() : text.substr(0, colon);
  if (text.find("required but received") != std::string::npos)
    return name + " may be given only once";
  if (text.find("required") != std::string::npos && text.find("missing") != std::string::npos)
    return name + " needs a value";
  return text;
}

// The options given that only an update takes.
std::vector<std::string> UpdateOptionsGiven(const CLI::App& app) {
  std::vector<std::string> given;
  for (const CLI::Option* option : app.get_options()) {
    const std::string name = option->get_name();
    if (option->count() != 0 && name != "--list-ports" && name != "--firmware-dir" &&
        name != "--version")
      given.push_back(name);
  }
  return given;
}

// Why a command line of a command over the history (serve, history) is refused; empty when
// it is not. `need` says what its --history is.
std::string HistoryCommandRefusal(const CommandLine& line, const std::string& command,
                                  const std::string& need) {
  std::vector<std::string> given = UpdateOptionsGiven(line.app);
  if (line.app.get_option("--firmware-dir")->count() != 0)
    given.push_back("--firmware-dir");
  if (line.listPorts)
    return command + " and --list-ports cannot be combined";
  if (!given.empty())
    return given.front() + " does not apply to " + command;
  if (line.options.historyTarget.empty())
    return command + " needs --history DB: " + need;
  return {};
}
}  // namespace

ParseResult ParseConsoleArguments(const std::vector<std::string>& arguments) {
  CommandLine line("kqm-update");
  ParseResult result;
  try {
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    line.app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    result.ok = true;
    result.options.command = ConsoleCommand::kHelp;
    if (line.history->parsed())
      result.helpFor = "history";
    return result;
  } catch (const CLI::ParseError& error) {
    result.error = Reason(error);
    return result;
  }
  if (const std::string leftover = Leftover(line); !leftover.empty()) {
    result.error = leftover;
    return result;
  }
  ConsoleOptions& options = line.options;
  if (line.version) {
    options.command = ConsoleCommand::kVersion;
  } else if (line.check->parsed()) {
    const std::vector<std::string> given = UpdateOptionsGiven(line.app);
    if (line.listPorts || !given.empty()) {
      result.error = line.listPorts ? "check and --list-ports cannot be combined"
                                    : given.front() + " does not apply to check";
      return result;
    }
    options.command = ConsoleCommand::kCheck;
  } else if (line.serve->parsed() || line.history->parsed()) {
    const bool serve = line.serve->parsed();
    const std::string refused =
        serve ? HistoryCommandRefusal(line, "serve", "the history the stations write")
              : HistoryCommandRefusal(line, "history", "the history to ask");
    if (!refused.empty()) {
      result.error = refused;
      return result;
    }
    options.command = serve ? ConsoleCommand::kServe : ConsoleCommand::kHistory;
  } else if (line.listPorts) {
    const std::vector<std::string> given = UpdateOptionsGiven(line.app);
    if (!given.empty()) {
      result.error = given.front() + " does not apply to --list-ports";
      return result;
    }
    options.command = ConsoleCommand::kListPorts;
  }
  result.ok = true;
  result.options = options;
  return result;
}

std::string ConsoleUsage(const std::string& programName, const std::string& command) {
  CommandLine line(programName);
  return command == "history" ? line.history->help() : line.app.help();
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
    std::cout << ConsoleUsage(programName, parsed.helpFor);
    return ToInt(ExitCode::kSuccess);
  }
  if (options.command == ConsoleCommand::kVersion) {
    std::cout << programName << " " << version << "\n";
    return ToInt(ExitCode::kSuccess);
  }
  return -1;
}
