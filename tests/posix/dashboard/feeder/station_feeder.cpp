// One station of a line, as the dashboard's tests need it: it publishes its state into the
// history once a second, as a station of `kqm-update` does while a line runs, and records an
// attempt when told that a module finished. Commands on standard input, a line each, fields
// separated by tabs (texts may hold blanks and markup):
//   state STATE MODULE PAGE PAGES        (MODULE "-": none)
//   finish MODULE RESULT MESSAGE RESENDS ROUND_TRIP_MS
//   quit
// It prints "published" after each state it publishes in answer to a command, and "ready"
// after its first state.
//   dashboard_station_feeder HISTORY HOST PORT
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "history/history.h"

namespace {
using history::EpochMs;

EpochMs NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  std::string field;
  while (std::getline(in, field, '\t')) fields.push_back(field);
  return fields;
}

// What a station records when a module is done.
history::Attempt Finished(const history::StationState& s, const std::vector<std::string>& f) {
  history::Attempt a;
  a.station = s.station;
  a.host = s.host;
  a.port = s.port;
  a.durationMs = 9000;
  a.startMs = NowMs() - a.durationMs;
  a.moduleId = f[1];
  a.result = f[2];
  a.exitCode = a.result == "success" ? 0 : 8;
  a.message = f[3];
  a.imageSha256 = "c9a3a07eecc775c05a36ed37a68bf84a94f19ff290f49eeefa277091928476dd";
  a.firmwareVersion = "3.05";
  a.resends = std::stoi(f[4]);
  a.frames = 13 + a.resends;
  a.pagesAccepted = a.result == "success" ? 13 : 0;
  a.roundTripMedianMs = std::stod(f[5]);
  a.roundTripWorstMs = *a.roundTripMedianMs * 2;
  a.recordJson = "{\"schema\":1}";
  return a;
}

// Carries out one command; false for "quit".
bool Obey(history::History& history, history::StationState& s, const std::string& line) {
  const std::vector<std::string> f = Fields(line);
  if (f.empty() || f[0] == "quit")
    return false;
  if (f[0] == "state" && f.size() == 5) {
    s.state = f[1];
    s.moduleId = f[2] == "-" ? std::nullopt : std::optional<std::string>(f[2]);
    s.page = std::stoi(f[3]);
    s.pages = std::stoi(f[4]);
  } else if (f[0] == "finish" && f.size() == 6) {
    const history::Attempt attempt = Finished(s, f);
    history.Record(attempt);
    s.lastResult = attempt.result;
    s.lastMessage = attempt.message;
    (attempt.result == "success"   ? s.updated
     : attempt.result == "skipped" ? s.skipped
                                   : s.failed)++;
    s.frames += attempt.frames;
    s.resends += attempt.resends;
    s.state = "waiting";
    s.moduleId.reset();
    s.page = s.pages = 0;
  } else {
    std::cerr << "unknown command: " << line << "\n";
  }
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: dashboard_station_feeder HISTORY HOST PORT\n";
    return 2;
  }
  auto history = history::OpenHistory(argv[1]);
  history::StationState s;
  s.host = argv[2];
  s.port = argv[3];
  s.station = s.host + ":" + s.port;
  s.state = "searching";
  s.startedMs = NowMs() - 3600 * 1000;  // an hour into its shift
  history->Publish(s);
  std::cout << "ready" << std::endl;
  EpochMs next = NowMs() + 1000;
  for (;;) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    const int wait = static_cast<int>(std::max<EpochMs>(0, next - NowMs()));
    if (poll(&input, 1, wait) > 0) {
      // Every line already read into the buffer, not only the first.
      do {
        std::string line;
        if (!std::getline(std::cin, line) || !Obey(*history, s, line))
          return 0;
      } while (std::cin.rdbuf()->in_avail() > 0);
      history->Publish(s);
      std::cout << "published" << std::endl;
    }
    if (NowMs() >= next) {
      history->Publish(s);
      next = NowMs() + 1000;
    }
  }
}
