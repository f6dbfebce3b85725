// The dashboard over a real line: tessalink-sim's three base stations on pseudo-terminals, one
// kqm-update per station (so that one can be killed alone) on one SQLite history, and
// `kqm-update serve` on the same file, shown in headless Chromium. The checks read the DOM
// while the stations work: their states and pages, a tile that follows a finished module within
// a second of its record, the module search, and a station killed with SIGKILL shown offline
// while the others go on. Screenshots (live-*.png) are kept in results/dashboard/ of the tests'
// build folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <regex>

#include "../common/wait_until.h"
#include "cdp_browser.h"
#include "dashboard_page.h"
#include "history/history.h"
#include "line_processes.h"

namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The modules on each station's bench, in turn. Station 1 transfers its first module while
// station 2 is configuring and station 3 waits for its Setup button; station 2 is killed during
// its transfer; station 3 and station 1 go on. Each page frame is answered 0.4 s after it
// arrived (--page-turnaround), so a transfer of the sample firmware's pages takes about 6 s.
struct BenchModule {
  const char* id;
  int station;
  int setupAfterMs;
};
constexpr BenchModule kModules[] = {{"111001", 1, 300},
                                    {"111002", 1, 300},
                                    {"222001", 2, 6000},
                                    {"222002", 2, 300},
                                    {"333001", 3, 14000}};
constexpr int kStationCount = 3;
const std::regex kPageOfPages("(\\d+) of 13");  // the sample firmware has 13 pages

// A time as the page shows it: local, to the second.
std::string LocalTime(history::EpochMs ms) {
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

// The processes of the line; whatever happens, they are stopped and their files removed.
struct LiveLine {
  std::string results = DASHBOARD_RESULTS_DIR;
  std::string work = results + "/live-line";
  std::string history = work + "/line.db";
  // The stations' links in a short folder of their own: their paths are the stations' names
  // on the page and in its screenshots.
  std::string links = ShortFolder();
  ChildProcess simulator;
  std::vector<ChildProcess> stations;
  std::vector<std::string> names;  // "<host>:<link>", station 1 first
  ChildProcess serve;
  int port = 0;
  std::unique_ptr<history::History> records;  // the test's own reader of the history
  std::unique_ptr<CdpBrowser> browser;
  // The stations remember their port in a configuration folder of the test's own.
  const bool hadConfigHome = std::getenv("XDG_CONFIG_HOME") != nullptr;
  const std::string keptConfigHome = hadConfigHome ? std::getenv("XDG_CONFIG_HOME") : "";

  LiveLine() { setenv("XDG_CONFIG_HOME", (work + "/config").c_str(), 1); }
  ~LiveLine() {
    browser.reset();
    serve.Kill();
    for (ChildProcess& station : stations) station.Kill();
    simulator.Kill();
    records.reset();
    fs::remove_all(work);
    fs::remove_all(links);
    if (hadConfigHome)
      setenv("XDG_CONFIG_HOME", keptConfigHome.c_str(), 1);
    else
      unsetenv("XDG_CONFIG_HOME");
  }
  std::string Station(int k) const { return links + "/station-" + std::to_string(k); }
  static std::string ShortFolder() {
    char folder[] = "/tmp/kqm-line-XXXXXX";
    return mkdtemp(folder) != nullptr ? folder : "";
  }
};

class LiveLineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite() { line_.reset(); }
  static void StartSimulator(LiveLine& line);
  static void StartStations(LiveLine& line);

  static CdpBrowser& Browser() { return *line_->browser; }
  // `part` of station k's tile, as an expression of the page.
  static std::string TilePart(int k, const std::string& part) {
    return "tilePart(" + Literal(line_->names[k - 1]) + ", " + Literal(part) + ")";
  }
  static std::string Offline(int k) {
    return "tileOf(" + Literal(line_->names[k - 1]) + ").classList.contains('offline')";
  }
  static std::vector<history::Attempt> AttemptsOf(const std::string& module) {
    history::AttemptQuery query;
    query.moduleId = module;
    return line_->records->Attempts(query);
  }
  static void Shot(const std::string& name) {
    Browser().Screenshot(line_->results + "/" + name + ".png");
  }

  static std::unique_ptr<LiveLine> line_;
};
std::unique_ptr<LiveLine> LiveLineTest::line_;

void LiveLineTest::StartSimulator(LiveLine& line) {
  std::vector<std::string> arguments{TESSALINK_SIM_PROGRAM,
                                     "--stations",
                                     std::to_string(kStationCount),
                                     "--link",
                                     line.links + "/station",
                                     "--baud",
                                     "115200",
                                     "--setup-after",
                                     "300",
                                     "--wire-time",
                                     "--page-turnaround",
                                     "400",
                                     "--log",
                                     line.work + "/sim.log"};
  for (const BenchModule& m : kModules) {
    arguments.insert(
        arguments.end(),
        {"--module", std::string("id=") + m.id + ",station=" + std::to_string(m.station) +
                         ",setup-after=" + std::to_string(m.setupAfterMs)});
  }
  line.simulator = StartChild(arguments, line.work + "/sim.out", false);
  for (int k = 1; k <= kStationCount; ++k)
    ASSERT_TRUE(posixtest::WaitUntil([&] { return fs::exists(line.Station(k)); }, 10s))
        << posixtest::ReadFile(line.work + "/sim.out.err");
}

void LiveLineTest::StartStations(LiveLine& line) {
  const std::string firmware = line.work + "/firmware/";
  fs::create_directories(firmware);
  for (const char* name : {"Korvane_Quorvanta_Mobile_Module.txt", "quorvanta_module_3_05.hex"})
    fs::copy_file(std::string(SAMPLE_FIRMWARE_DIR) + "/" + name, firmware + name);
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  for (int k = 1; k <= kStationCount; ++k) {
    line.names.push_back(std::string(host) + ":" + line.Station(k));
    line.stations.push_back(
        StartChild({KQM_UPDATE_PROGRAM, "--firmware-dir", firmware, "--yes", "--repeat", "--baud",
                    "115200", "--history", line.history, "--port", line.Station(k), "--report",
                    line.Station(k) + ".jsonl"},
                   line.Station(k) + ".out", false));
  }
}

void LiveLineTest::SetUpTestSuite() {
  line_ = std::make_unique<LiveLine>();
  LiveLine& line = *line_;
  ASSERT_FALSE(line.links.empty()) << "no folder for the stations' links in /tmp";
  fs::remove_all(line.work);
  fs::create_directories(line.work);
  StartSimulator(line);
  StartStations(line);
  line.serve = StartChild(
      {KQM_UPDATE_PROGRAM, "serve", "--history", line.history, "--listen", "127.0.0.1:0"},
      line.work + "/serve.out", false);
  line.port =
      std::stoi("0" + WaitForMatch(line.serve.output, "http://127\\.0\\.0\\.1:(\\d+)/", 10s));
  ASSERT_NE(line.port, 0) << posixtest::ReadFile(line.serve.output + ".err");
  line.records = history::OpenHistory(line.history);
  line.browser = std::make_unique<CdpBrowser>(line.work + "/chromium", line.work + "/chromium.log");
  line.browser->Call("Page.addScriptToEvaluateOnNewDocument", {{"source", kPageHelpers}});
  line.browser->Navigate("http://127.0.0.1:" + std::to_string(line.port) + "/");
}

TEST_F(LiveLineTest, TilesShowEachStationAsItWorks) {
  ASSERT_TRUE(Browser().WaitFor("document.querySelectorAll('.tile').length === 3", 15s))
      << PageProblems(Browser());
  std::vector<std::string> names = line_->names;
  std::sort(names.begin(), names.end());
  EXPECT_EQ(Browser().Evaluate(
                "[...document.querySelectorAll('.tile')].map((t) => t.dataset.station).sort()"),
            nlohmann::json(names));
  ASSERT_TRUE(Browser().WaitFor(TilePart(1, ".state") + " === 'transferring'", 40s))
      << posixtest::ReadFile(line_->Station(1) + ".out.err");
  EXPECT_EQ(Browser().Evaluate(TilePart(1, ".module .value")), "111001");
  EXPECT_EQ(Browser().Evaluate(TilePart(2, ".state")), "waiting");
  EXPECT_EQ(Browser().Evaluate(TilePart(3, ".state")), "waiting");
  EXPECT_EQ(Browser().Evaluate(TilePart(3, ".module .value")), "-");
  Shot("live-transferring");
  // The pages as they go, until the transfer ends: each "n of 13", n growing.
  std::vector<int> pages;
  posixtest::WaitUntil(
      [&] {
        const nlohmann::json now = Browser().Evaluate("[" + TilePart(1, ".state") + ", " +
                                                      TilePart(1, ".progress .value") + "]");
        if (now[0] != "transferring")
          return true;
        std::smatch match;
        const std::string progress = now[1];
        EXPECT_TRUE(std::regex_match(progress, match, kPageOfPages)) << progress;
        if (!match.empty() && (pages.empty() || std::stoi(match[1]) != pages.back()))
          pages.push_back(std::stoi(match[1]));
        return false;
      },
      20s);
  EXPECT_GE(pages.size(), 2u) << "a transfer of about 6 s shows more than one page";
  EXPECT_TRUE(std::is_sorted(pages.begin(), pages.end()));
}

// Timed from the moment the module's record is in the history, as another reader sees it.
TEST_F(LiveLineTest, TileFollowsAFinishedModuleWithinOneSecondOfItsRecord) {
  ASSERT_TRUE(posixtest::WaitUntil([] { return !AttemptsOf("111001").empty(); }, 30s));
  const auto recorded = std::chrono::steady_clock::now();
  ASSERT_TRUE(Browser().WaitFor(TilePart(1, ".last .value") + " === 'success'", 5s));
  const auto took = std::chrono::steady_clock::now() - recorded;
  EXPECT_LT(took, 1000ms) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count();
  EXPECT_EQ(Browser().Evaluate(TilePart(1, ".counters .value")),
            "1 / 0 / 0 · resends 0 of 13 frames");
}

TEST_F(LiveLineTest, ModuleSearchFindsTheRecordedAttempt) {
  const std::vector<history::Attempt> attempts = AttemptsOf("111001");
  ASSERT_EQ(attempts.size(), 1u);
  // The history holds the record exactly as the station's report has it.
  EXPECT_NE(posixtest::ReadFile(line_->Station(1) + ".jsonl").find(attempts[0].recordJson + "\n"),
            std::string::npos);
  Browser().Evaluate(
      "document.getElementById('search-id').value = '111001'; "
      "document.getElementById('search-go').click(); true");
  ASSERT_TRUE(Browser().WaitFor(
      "document.getElementById('search-status').dataset.module === '111001'", 3s));
  EXPECT_EQ(Browser().Evaluate("[...document.querySelectorAll('#search-results tbody tr')].map("
                               "(r) => [...r.cells].map((c) => c.textContent))"),
            nlohmann::json::array(
                {{LocalTime(attempts[0].startMs), line_->names[0], "111001", "success", "", ""}}));
  Shot("live-search");
}

TEST_F(LiveLineTest, KilledStationIsShownOfflineWhileTheOthersGoOn) {
  ASSERT_TRUE(Browser().WaitFor(TilePart(2, ".state") + " === 'transferring'", 30s));
  line_->stations[1].Kill();
  const auto killed = std::chrono::steady_clock::now();
  const history::EpochMs killedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::system_clock::now().time_since_epoch())
                                        .count();
  ASSERT_TRUE(Browser().WaitFor(Offline(2), 15s));
  // Its last state was published at most a second before the kill; it counts as offline
  // once that is 5 s old.
  EXPECT_GE(std::chrono::steady_clock::now() - killed, 3900ms);
  EXPECT_EQ(Browser().Evaluate(TilePart(2, ".state")), "offline");
  EXPECT_NE(Browser().Evaluate("tileOf(" + Literal(line_->names[1]) +
                               ").querySelector('.state').title.indexOf('(last: transferring)')"),
            -1);
  // The others go on: station 3 transfers and finishes its module after the kill, station 1
  // its second.
  EXPECT_TRUE(Browser().WaitFor(TilePart(3, ".state") + " === 'transferring' || " +
                                    TilePart(3, ".last .value") + " === 'success'",
                                20s));
  Shot("live-offline");
  ASSERT_TRUE(Browser().WaitFor(TilePart(3, ".last .value") + " === 'success'", 30s));
  const std::vector<history::Attempt> third = AttemptsOf("333001");
  ASSERT_EQ(third.size(), 1u);
  EXPECT_GT(third[0].startMs + third[0].durationMs, killedMs);
  EXPECT_TRUE(Browser().WaitFor(TilePart(1, ".counters .value") + ".startsWith('2 / 0 / 0')", 30s));
  EXPECT_EQ(Browser().Evaluate(Offline(1)), false);
  EXPECT_EQ(Browser().Evaluate(Offline(3)), false);
  EXPECT_EQ(Browser().Evaluate(Offline(2)), true);
}

}  // namespace
