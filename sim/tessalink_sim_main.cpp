// tessalink-sim: the simulated base stations, radios and modules behind pseudo-terminals, in
// real time. The first line on stdout is the terminal's path (with --stations N, the first N
// lines, station 1 first); point the update program at it.
#include <poll.h>
#include <signal.h>
#include <time.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "sim/line.h"
#include "sim/module_files.h"
#include "sim/program_settings.h"
#include "sim/pty_link.h"

namespace {

volatile sig_atomic_t stopSignal = 0;
void OnSignal(int signal) {
  stopSignal = signal;
}

// The simulated devices run on microsecond ticks here: a reply is due at a moment that is
// not a whole millisecond, and a real device does not wait for the next one.
uint32_t NowUs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000000 +
                               static_cast<uint64_t>(now.tv_nsec) / 1000);
}

bool WriteImage(const std::string& path, const std::vector<uint8_t>& image) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.data()),
            static_cast<std::streamsize>(image.size()));
  return static_cast<bool>(out);
}

void CatchSignals() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

// One terminal per station, each path printed as soon as it exists; with --link, PATH for one
// station and PATH-1 ... PATH-N for several.
bool OpenTerminals(const sim::ProgramSettings& settings, size_t count,
                   std::vector<std::unique_ptr<sim::PtyLink>>& terminals, std::string& error) {
  for (size_t k = 0; k < count; ++k) {
    terminals.push_back(std::make_unique<sim::PtyLink>());
    sim::PtyLink& pty = *terminals.back();
    const std::string link = count > 1 && !settings.link.empty()
                                 ? settings.link + "-" + std::to_string(k + 1)
                                 : settings.link;
    if (!pty.Open(error) || (!link.empty() && !pty.MakeLink(link, error)))
      return false;
    std::cout << pty.TerminalPath() << std::endl;
  }
  return true;
}

// --log: every entry with its simulated time in seconds.
bool OpenLog(const std::string& path, sim::Line& line, std::ofstream& file) {
  std::ostream* log = &std::cerr;
  if (path.empty())
    return true;
  if (path != "-") {
    file.open(path, std::ios::app);
    if (!file)
      return false;
    log = &file;
  }
  auto write = [log](const sim::EventLog::Entry& entry) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%10.3f ", static_cast<double>(entry.timeUs) / 1e6);
    *log << stamp << entry.source << ": " << entry.text << std::endl;
  };
  for (const sim::EventLog::Entry& entry : line.Log().Entries()) write(entry);
  line.SetLogHook(write);
  return true;
}

// Waits until something is due or a terminal stirs, then moves bytes on every terminal; a
// station's port that vanished (port-gone) closes its terminal until it is back.
void Step(sim::Line& line, std::vector<std::unique_ptr<sim::PtyLink>>& terminals) {
  const uint32_t waitUs = line.TicksUntilNextActivity(NowUs(), 10000);
  std::vector<pollfd> entries;
  for (const auto& pty : terminals) entries.push_back(pty->PollEntry());
  const timespec timeout{0, static_cast<long>(waitUs > 0 ? waitUs : 1) * 1000};
  if (ppoll(entries.data(), entries.size(), &timeout, nullptr) < 0)
    for (pollfd& entry : entries) entry.revents = 0;  // interrupted by a signal
  for (size_t k = 0; k < terminals.size(); ++k) {
    sim::PtyLink& pty = *terminals[k];
    sim::Station& station = line.GetStation(k);
    pty.Exchange(station, NowUs(), entries[k].revents);
    std::string error;
    if (station.PortGone() && !pty.Vanished()) {
      pty.Vanish(station, NowUs());
    } else if (!station.PortGone() && pty.Vanished()) {
      if (!pty.Reopen(error))
        std::cerr << "tessalink-sim: " << error << "\n";
      else
        std::cerr << "tessalink-sim: station " << k + 1 << " is back on " << pty.TerminalPath()
                  << "\n";
    }
  }
}

// Whether the run is over for --exit-after-update: the update complete (the single module),
// or every module of the line taken away.
bool Done(const sim::ProgramSettings& settings, const sim::Line& line, bool imageWritten) {
  const sim::Devices* single = line.Single();
  if (single && settings.sequence.empty())
    return imageWritten;
  return single ? single->CurrentModule() == single->ModuleCount() : line.Finished();
}

bool AllClosed(const std::vector<std::unique_ptr<sim::PtyLink>>& terminals) {
  for (const auto& pty : terminals)
    if (pty->PcOpen())
      return false;
  return true;
}

int Run(const sim::ProgramSettings& settings, sim::Line& line,
        std::vector<std::unique_ptr<sim::PtyLink>>& terminals) {
  sim::ModuleFiles files(settings.imagesDirectory);
  const sim::Devices* single = line.Single();
  std::string error;
  bool imageWritten = false;
  bool finished = false;
  uint32_t finishedAt = 0;
  while (!stopSignal) {
    Step(line, terminals);
    const bool complete = single && single->UpdateComplete();
    if (complete && !imageWritten && !settings.imageOut.empty() &&
        !WriteImage(settings.imageOut, single->FirmwareImage()))
      std::cerr << "tessalink-sim: cannot write " << settings.imageOut << "\n";
    imageWritten = complete;
    if (!settings.imagesDirectory.empty() && !files.Update(line, error))
      std::cerr << "tessalink-sim: " << error << "\n";
    const bool done = Done(settings, line, imageWritten);
    if (done && !finished)
      finishedAt = NowUs();
    finished = done;
    // Let the update program finish its exchange with the base station before going away: a
    // line's other stations may be half-way through preparing their next module.
    if (finished && settings.exitAfterUpdate &&
        (AllClosed(terminals) || NowUs() - finishedAt >= 15000000))
      break;
  }
  // The last commands, those of the step that closed the last port, in the files too.
  if (!settings.imagesDirectory.empty() && !files.Update(line, error))
    std::cerr << "tessalink-sim: " << error << "\n";
  for (const auto& pty : terminals) pty->RemoveLink();
  // How well the loop kept time, with several stations.
  for (size_t k = 0; line.Several() && k < line.StationCount(); ++k)
    line.GetStation(k).LogWorstLateness();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  sim::ProgramSettings settings;
  std::string error;
  if (!sim::ParseProgramArguments(argc, argv, settings, error)) {
    if (!error.empty())
      std::cerr << "tessalink-sim: " << error << "\n";
    std::cerr << sim::ProgramUsage() << sim::ScenarioHelp();
    return error.empty() ? 0 : 2;
  }
  settings.options.tickUs = 1;
  const std::unique_ptr<sim::Line> line = sim::MakeLine(settings, error);
  if (!line) {
    std::cerr << "tessalink-sim: " << error << "\n";
    return 2;
  }
  std::error_code failure;
  if (!settings.imagesDirectory.empty() &&
      !std::filesystem::create_directories(settings.imagesDirectory, failure) && failure) {
    std::cerr << "tessalink-sim: cannot make " << settings.imagesDirectory << "\n";
    return 1;
  }
  CatchSignals();
  std::ofstream logFile;
  if (!OpenLog(settings.logPath, *line, logFile)) {
    std::cerr << "tessalink-sim: cannot write " << settings.logPath << "\n";
    return 1;
  }
  std::vector<std::unique_ptr<sim::PtyLink>> terminals;
  if (!OpenTerminals(settings, line->StationCount(), terminals, error)) {
    std::cerr << "tessalink-sim: " << error << "\n";
    return 1;
  }
  return Run(settings, *line, terminals);
}
