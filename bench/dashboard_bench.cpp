// The dashboard over a year of a busy line (a million attempts, and a last shift at full pace)
// in SQLite and in PostgreSQL:
// a module search and the shift's summary with its plots asked through HTTP, as the page asks
// them, beside the same questions answered in the process without HTTP (the reference, in the
// same run); then the byte timing of a line of three stations on tessalink-sim with the wire
// time emulated, alone and with pages open on `kqm-update serve` over the SQLite history, in
// turns.
//   fwdashboardbench [--attempts N] [--runs N] [--updates N]
// Prints key=value lines for scripts.
#include <httplib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <regex>
#include <thread>

#include "busy_line.h"
#include "child_process.h"
#include "dashboard/dashboard_server.h"
#include "dashboard/dashboard_views.h"
#include "postgres_server.h"

namespace {
namespace fs = std::filesystem;
using namespace busy_line;
using history::EpochMs;

// A shift of eight hours that ends now.
std::vector<int> EightHourShift() {
  const std::time_t start = std::time(nullptr) - 8 * 3600;
  std::tm local{};
  localtime_r(&start, &local);
  return {local.tm_hour * 60 + local.tm_min};
}

// The year, then its last eight hours at the full pace of a busy line: eight stations, a
// module every ten seconds each. The seconds it took.
double FillLine(history::History& history, std::size_t count, EpochMs endMs) {
  const std::size_t shift = kStations * 8 * 360;
  return Fill(history, count, Span{endMs}) +
         Fill(history, shift, Span{endMs, 8 * 3600 * 1000, 200000000});
}

void Print(const std::string& key, const Timing& timing) {
  std::printf("%s_median_ms=%.2f\n%s_worst_ms=%.2f\n", key.c_str(), timing.medianMs, key.c_str(),
              timing.worstMs);
}

// Each question through HTTP and in the process, `runs` times.
void MeasureEndpoints(const std::string& name, history::History& history, std::size_t count,
                      int runs) {
  // Member by member: GCC 12 at -O2 takes the nested braces for a string used uninitialized.
  dashboard::ServerSettings settings;
  settings.listen.host = "127.0.0.1";
  settings.listen.loopback = true;
  settings.shiftStarts = EightHourShift();
  dashboard::DashboardServer server(history, settings);
  std::string error;
  if (!server.Bind(error))
    throw std::runtime_error(error);
  std::thread serving([&] { server.Run(); });
  httplib::Client client("127.0.0.1", server.Port());
  std::mt19937 random(11);
  const auto module = [&] { return std::to_string(100000000 + random() % count); };
  std::size_t bytes = 0;
  const auto get = [&](const std::string& path) {
    const auto answer = client.Get(path);
    if (!answer || answer->status != 200)
      throw std::runtime_error(path + ": no answer");
    bytes += answer->body.size();
  };
  Print(name + "_search_http", Time(runs, [&](int) { get("/api/attempts?module=" + module()); }));
  Print(name + "_summary_http", Time(runs, [&](int) { get("/api/summary"); }));
  Print(name + "_search_direct", Time(runs, [&](int) {
          history::AttemptQuery query;
          query.moduleId = module();
          query.limit = dashboard::kListLimit;
          bytes += dashboard::JsonText(dashboard::AttemptsView(history.Attempts(query))).size();
        }));
  Print(name + "_summary_direct", Time(runs, [&](int) {
          const auto shift = dashboard::ReadShift(history, NowMs(), settings.shiftStarts);
          bytes += dashboard::JsonText(dashboard::SummaryView(shift)).size();
        }));
  std::printf("%s_bytes=%zu\n", name.c_str(), bytes);
  std::fflush(stdout);
  server.Stop();
  serving.join();
}
}  // namespace

namespace {
// A line of three stations on tessalink-sim with the wire time emulated, each updating a module
// with the sample firmware: the worst lateness of a byte the PCs read, in microseconds, as the
// simulator logs it per station, and how many of the bytes were more than 1 ms late; -1 when
// an update failed.
struct Lateness {
  long worstUs = -1;
  long lateBytes = 0;
  long bytes = 0;
};

Lateness LineLateness(const std::string& work) {
  constexpr int kLine = 3;
  const std::string link = work + "/sim-link", log = work + "/sim.log";
  fs::remove(log);
  const pid_t sim =
      posixtest::Spawn({TESSALINK_SIM_PROGRAM, "--stations", std::to_string(kLine), "--wire-time",
                        "--exit-after-update", "--link", link, "--log", log},
                       "/dev/null", work + "/sim.out", work + "/sim.err");
  const std::string last = link + "-" + std::to_string(kLine);
  posixtest::WaitUntil([&] { return fs::exists(last); }, std::chrono::seconds(10));
  std::vector<pid_t> updates;
  for (int k = 1; k <= kLine; ++k) {
    const std::string port = link + "-" + std::to_string(k), out = work + "/update";
    updates.push_back(posixtest::Spawn(
        {KQM_UPDATE_PROGRAM, "--port", port, "--yes", "--firmware-dir", SAMPLE_FIRMWARE_DIR},
        "/dev/null", out + ".out", out + ".err"));
  }
  bool updated = true;
  for (const pid_t update : updates)
    updated = posixtest::WaitForExit(update, std::chrono::seconds(120)) == 0 && updated;
  posixtest::WaitForExit(sim, std::chrono::seconds(30));
  const std::string text = posixtest::ReadFile(log);
  const std::regex late("at most (\\d+) us after their time on the wire; (\\d+) of (\\d+) ");
  Lateness lateness;
  for (auto m = std::sregex_iterator(text.begin(), text.end(), late); m != std::sregex_iterator();
       ++m) {
    lateness.worstUs = std::max(lateness.worstUs, std::stol((*m)[1]));
    lateness.lateBytes += std::stol((*m)[2]);
    lateness.bytes += std::stol((*m)[3]);
  }
  if (!updated)
    lateness.worstUs = -1;
  return lateness;
}

// Pages open on the dashboard: each holds the stations' event stream and asks for the summary
// every second (a page asks when a module finished, and every 30 s). Their threads run at a
// low priority, as a browser on another PC would not take the line's processor at all.
class OpenPages {
 public:
  OpenPages(int port, int pages) {
    for (int i = 0; i < pages; ++i) {
      threads_.emplace_back([this, port] { Stream(port); });
      threads_.emplace_back([this, port] { Poll(port); });
    }
  }
  ~OpenPages() {
    stop_ = true;
    for (std::thread& thread : threads_) thread.join();
  }
  int Requests() const { return requests_; }

 private:
  static void Lower() { setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19); }
  void Stream(int port) {
    Lower();
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(5, 0);
    // As a browser does: a stream that ends is asked for again a second later.
    while (!stop_) {
      client.Get("/api/events", [this](const char*, std::size_t) { return !stop_; });
      std::this_thread::sleep_for(std::chrono::seconds(1));
    }
  }
  void Poll(int port) {
    Lower();
    httplib::Client client("127.0.0.1", port);
    while (!stop_) {
      requests_ += client.Get("/api/summary") ? 1 : 0;
      std::this_thread::sleep_for(std::chrono::seconds(1));
    }
  }
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::vector<std::thread> threads_;
};

void PrintLateness(const std::string& key, std::vector<Lateness> runs) {
  std::sort(runs.begin(), runs.end(),
            [](const Lateness& a, const Lateness& b) { return a.worstUs < b.worstUs; });
  long late = 0, bytes = 0;
  for (const Lateness& run : runs) {
    if (run.worstUs < 0)
      throw std::runtime_error("an update on the simulator failed");
    late += run.lateBytes;
    bytes += run.bytes;
  }
  std::printf("%s_worst_median_us=%ld\n%s_worst_us=%ld\n%s_over_1ms=%ld/%ld\n", key.c_str(),
              runs[runs.size() / 2].worstUs, key.c_str(), runs.back().worstUs, key.c_str(), late,
              bytes);
}

void MeasureByteTiming(const std::string& work, const std::string& history, int updates) {
  const pid_t serve = posixtest::Spawn(
      {KQM_UPDATE_PROGRAM, "serve", "--history", history, "--listen", "127.0.0.1:0"}, "/dev/null",
      work + "/serve.out", work + "/serve.err");
  std::smatch match;
  const std::regex url("http://127\\.0\\.0\\.1:(\\d+)/");
  std::string text;
  posixtest::WaitUntil(
      [&] {
        return std::regex_search(text = posixtest::ReadFile(work + "/serve.out"), match, url);
      },
      std::chrono::seconds(10));
  const int port = match.size() > 1 ? std::stoi(match[1]) : 0;
  std::vector<Lateness> alone, open;
  int requests = 0;
  for (int run = 0; run < updates && port != 0; ++run) {
    alone.push_back(LineLateness(work));
    OpenPages pages(port, 3);
    open.push_back(LineLateness(work));
    requests += pages.Requests();
  }
  kill(serve, SIGTERM);
  posixtest::WaitForExit(serve, std::chrono::seconds(10));
  PrintLateness("late_alone", alone);
  PrintLateness("late_pages_open", open);
  std::printf("page_requests=%d\n", requests);
}
}  // namespace

int main(int argc, char** argv) {
  std::size_t count = 1000000;
  int runs = 50, updates = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--attempts")
      count = std::strtoul(argv[i + 1], nullptr, 10);
    else if (option == "--runs")
      runs = std::atoi(argv[i + 1]);
    else if (option == "--updates")
      updates = std::atoi(argv[i + 1]);
  }
  std::printf("attempts=%zu\nruns=%d\n", count, runs);
  const std::string work =
      (fs::temp_directory_path() / ("kqm-dashboard-bench-" + std::to_string(getpid()))).string();
  fs::create_directories(work);
  setenv("XDG_CONFIG_HOME", work.c_str(), 1);
  int status = 0;
  try {
    const EpochMs endMs = NowMs();
    const std::string file = work + "/line.db";
    {
      auto sqlite = history::OpenHistory(file);
      std::printf("sqlite_fill_s=%.1f\n", FillLine(*sqlite, count, endMs));
      PublishStations(*sqlite);
      MeasureEndpoints("sqlite", *sqlite, count, runs);
    }
    {
      PostgresServer server;
      auto postgres = history::OpenHistory(server.Url(server.CreateDatabase()));
      std::printf("postgres_fill_s=%.1f\n", FillLine(*postgres, count, endMs));
      PublishStations(*postgres);
      MeasureEndpoints("postgres", *postgres, count, runs);
    }
    if (updates > 0)
      MeasureByteTiming(work, file, updates);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "fwdashboardbench: %s\n", error.what());
    status = 1;
  }
  fs::remove_all(work);
  return status;
}
