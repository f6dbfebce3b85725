// The line's history with a year of a busy line in it: how long the questions of a supervisor
// and of the dashboard take in SQLite and in PostgreSQL, beside the same questions answered by
// the memory history's plain scans (the reference, measured in the same run).
//   fwhistorybench [--attempts N] [--runs N]
// Prints key=value lines for scripts; PostgreSQL runs on a server of its own in a temporary
// folder (as tests/posix/history does), SQLite in a temporary file.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "busy_line.h"
#include "history/history.h"
#include "postgres_server.h"

namespace {

using history::EpochMs;
using namespace busy_line;

void Measure(const char* name, history::History& history, std::size_t count, EpochMs endMs,
             int runs) {
  const double fillS = Fill(history, count, Span{endMs});
  PublishStations(history);
  std::mt19937 random(11);
  std::size_t found = 0;
  const Timing search = Time(runs, [&](int) {
    history::AttemptQuery query;
    query.moduleId = std::to_string(100000000 + random() % count);
    found += history.Attempts(query).size();
  });
  std::size_t rows = 0;
  const Timing shift = Time(runs, [&](int) {
    const EpochMs since = endMs - kDayMs / 2;
    rows = history.CountsByStation(since).size() + history.ModulesPerHour(since).size() +
           history.LinkSeries(since).size() + history.Stations().size();
  });
  std::printf("%s_fill_s=%.1f\n%s_search_median_ms=%.3f\n%s_search_worst_ms=%.3f\n", name, fillS,
              name, search.medianMs, name, search.worstMs);
  std::printf("%s_shift_median_ms=%.3f\n%s_shift_worst_ms=%.3f\n%s_found=%zu\n%s_shift_rows=%zu\n",
              name, shift.medianMs, name, shift.worstMs, name, found, name, rows);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t count = 1000000;
  int runs = 50;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--attempts") {
      count = std::strtoul(argv[i + 1], nullptr, 10);
    } else if (option == "--runs") {
      runs = std::atoi(argv[i + 1]);
    }
  }
  const EpochMs endMs = NowMs();
  std::printf("attempts=%zu\nruns=%d\n", count, runs);
  try {
    Measure("memory", *history::OpenMemoryHistory(), count, endMs, runs);
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("kqm-history-bench-" + std::to_string(getpid()) + ".db");
    {
      auto sqlite = history::OpenHistory(file.string());
      Measure("sqlite", *sqlite, count, endMs, runs);
      std::printf("sqlite_file_mb=%.0f\n",
                  static_cast<double>(std::filesystem::file_size(file)) / 1e6);
    }
    for (const char* suffix : {"", "-wal", "-shm"}) {
      std::filesystem::remove(file.string() + suffix);
    }
    PostgresServer server;
    Measure("postgres", *history::OpenHistory(server.Url(server.CreateDatabase())), count, endMs,
            runs);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "fwhistorybench: %s\n", error.what());
    return 1;
  }
  return 0;
}
