// serve: the line's dashboard, a web page over the history that the stations write.
#include "console_commands.h"

#ifdef _WIN32

ExitCode RunServeCommand(ConsoleEnvironment& environment, const ConsoleOptions&) {
  environment.output.ErrorLine(
      "serve shows a history in SQLite or PostgreSQL, which this Windows build cannot open: "
      "run kqm-update serve on a Linux PC that reaches the history.");
  return ExitCode::kUsage;
}

#else

#include <signal.h>
#include <sys/resource.h>

#include <atomic>
#include <csignal>
#include <thread>

#include "dashboard/dashboard_server.h"
#include "dashboard/listen_address.h"
#include "dashboard/shift_times.h"

namespace {
constexpr int kNiceness = 10;

// Ctrl-C or SIGTERM: the server stops (the console's own handlers speak of an update).
std::atomic<bool> stopRequested{false};

void OnStop(int) {
  stopRequested = true;
}

void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// The settings the options give; false with the reason printed.
bool ReadSettings(ConsoleOutput& output, const ConsoleOptions& options,
                  dashboard::ServerSettings& settings) {
  std::string error;
  const std::string listen = options.listen.empty() ? dashboard::kDefaultListen : options.listen;
  const auto address = dashboard::ParseListenAddress(listen, error);
  const auto shifts = dashboard::ParseShiftStarts(
      options.shifts.empty() ? dashboard::kDefaultShifts : options.shifts, error);
  if (!address || !shifts) {
    output.ErrorLine("serve: " + error);
    return false;
  }
  settings.listen = *address;
  settings.shiftStarts = *shifts;
  settings.token = options.token;
  if (!settings.listen.loopback && settings.token.empty())
    settings.token = dashboard::NewToken();
  return true;
}

void TellWhere(ConsoleEnvironment& environment, const dashboard::ServerSettings& settings, int port,
               const std::string& history) {
  ConsoleOutput& output = environment.output;
  const dashboard::ListenAddress& at = settings.listen;
  output.Line("The line's dashboard of the " + history + ".");
  if (settings.token.empty()) {
    output.Line("Open " + dashboard::PageUrl(at, port) + " on this computer.");
  } else {
    dashboard::ListenAddress shown = at;
    if (shown.host == "0.0.0.0" || shown.host == "::")
      shown.host = environment.hostName.empty() ? "localhost" : environment.hostName;
    output.Line("Listening on " + at.host + ":" + std::to_string(port) +
                "; every request needs the token.");
    output.Line("Open " + dashboard::PageUrl(shown, port) + "?token=" + settings.token);
  }
  output.Line("Ctrl-C or SIGTERM stops it.");
}
}  // namespace

ExitCode RunServeCommand(ConsoleEnvironment& environment, const ConsoleOptions& options) {
  ConsoleOutput& output = environment.output;
  dashboard::ServerSettings settings;
  if (!ReadSettings(output, options, settings))
    return ExitCode::kUsage;
  std::unique_ptr<history::History> history;
  try {
    history = history::OpenHistory(options.historyTarget);
  } catch (const history::HistoryError& error) {
    output.ErrorLine(std::string("serve: ") + error.what());
    return ExitCode::kUsage;
  }
  // A page closed while it is sent to must not end the program.
  std::signal(SIGPIPE, SIG_IGN);
  // Stations on this PC come first: their bytes have deadlines, the page has none. Every
  // thread of the server is made after this and inherits it.
  setpriority(PRIO_PROCESS, 0, kNiceness);
  dashboard::DashboardServer server(*history, settings);
  std::string error;
  if (!server.Bind(error)) {
    output.ErrorLine("serve: " + error);
    return ExitCode::kUsage;
  }
  TellWhere(environment, settings, server.Port(), history->Describe());
  CatchStopSignals();
  std::thread serving([&server] { server.Run(); });
  while (!stopRequested && environment.interrupts.Count() == 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  output.Line("Stopping the dashboard ...");
  server.Stop();
  serving.join();
  output.Line("The dashboard has stopped.");
  return ExitCode::kSuccess;
}

#endif
