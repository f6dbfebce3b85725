// The line's history with a year of a busy line in it: how long the questions of a supervisor
// and of the dashboard take in SQLite and in PostgreSQL, beside the same questions answered by
// the memory history's plain scans (the reference, measured in the same run).
//   fwhistorybench [--attempts N] [--runs N]
// Prints key=value lines for scripts; PostgreSQL runs on a server of its own in a temporary
// folder (as tests/posix/history does), SQLite in a temporary file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "history/history.h"
#include "postgres_server.h"

namespace {

using history::Attempt;
using history::EpochMs;
using Clock = std::chrono::steady_clock;

constexpr EpochMs kDayMs = 24 * 3600 * 1000;
constexpr int kStations = 8;  // two PCs of four base stations

EpochMs NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// Attempt `i` of `count`, evenly spread over the year before `endMs`: mostly successes, some
// failures and skipped repeats; about one module in twenty tried twice.
Attempt MakeAttempt(std::size_t i, std::size_t count, EpochMs endMs, std::mt19937& random) {
  Attempt a;
  const int station = static_cast<int>(i % kStations);
  a.host = station < 4 ? "line-3a" : "line-3b";
  a.port = "/dev/ttyUSB" + std::to_string(station % 4);
  a.station = a.host + ":" + a.port;
  a.startMs =
      endMs - 365 * kDayMs + static_cast<EpochMs>(i) * (365 * kDayMs) / static_cast<EpochMs>(count);
  a.durationMs = 9000 + random() % 2000;
  const std::size_t module = random() % 20 == 0 && i > 100 ? i - 1 - random() % 100 : i;
  a.moduleId = std::to_string(100000000 + module);
  const unsigned roll = random() % 100;
  a.result = roll < 90   ? "success"
             : roll < 95 ? "skipped"
             : roll < 98 ? "transfer_failed"
                         : "configuration_failed";
  a.exitCode = a.result == "success" || a.result == "skipped" ? 0 : 8;
  a.message = a.exitCode ? "The firmware update failed.\n\nThe module did not answer." : "";
  a.imageSha256 = "c9a3a07eecc775c05a36ed37a68bf84a94f19ff290f49eeefa277091928476dd";
  a.firmwareVersion = "3.05";
  a.pagesAccepted = a.result == "success" ? 13 : 0;
  a.frames = a.result == "skipped" ? 0 : 13 + static_cast<int>(random() % 3);
  a.resends = a.frames ? a.frames - 13 : 0;
  if (a.frames) {
    a.roundTripMedianMs = 50 + random() % 10;
    a.roundTripWorstMs = *a.roundTripMedianMs + random() % 20;
  }
  a.recordJson = "{\"schema\":1,\"module_id\":\"" + *a.moduleId + "\",\"host\":\"" + a.host +
                 "\",\"port\":\"COM9\",\"device\":\"" + a.port +
                 "\",\"baud\":115200,\"base_station_id\":\"KV-TSLK-00,2.07\",\"network_serial\":"
                 "\"00A2B3C4 00000002\",\"pan_id\":\"2222\",\"rf_channel\":\"20\",\"result\":\"" +
                 a.result + "\",\"image_sha256\":\"" + *a.imageSha256 + "\"}";
  return a;
}

struct Timing {
  double medianMs = 0;
  double worstMs = 0;
};

Timing Time(int runs, const std::function<void(int)>& question) {
  std::vector<double> ms;
  for (int run = 0; run < runs; ++run) {
    const auto start = Clock::now();
    question(run);
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms.back()};
}

// Fills the history in transactions of 50,000 attempts; the seconds it took.
double Fill(history::History& history, std::size_t count, EpochMs endMs) {
  std::mt19937 random(7);
  const auto start = Clock::now();
  std::vector<Attempt> batch;
  for (std::size_t i = 0; i < count; ++i) {
    batch.push_back(MakeAttempt(i, count, endMs, random));
    if (batch.size() == 50000 || i + 1 == count) {
      history.RecordAll(batch);
      batch.clear();
    }
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void Measure(const char* name, history::History& history, std::size_t count, EpochMs endMs,
             int runs) {
  const double fillS = Fill(history, count, endMs);
  for (int s = 0; s < kStations; ++s) {
    history::StationState state;
    state.station =
        "line-3" + std::string(s < 4 ? "a" : "b") + ":/dev/ttyUSB" + std::to_string(s % 4);
    state.state = "transferring";
    history.Publish(state);
  }
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
