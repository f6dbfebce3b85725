// The line's dashboard as a supervisor sees it: three stations feed a fresh SQLite history as a
// line's stations do (the station feeder), `kqm-update serve` serves it, and headless Chromium
// shows the page; the checks read the DOM after the page's scripts ran. Screenshots are kept
// in results/dashboard/ of the tests' build folder.
#include <gtest/gtest.h>
#include <httplib.h>

#include <cctype>
#include <filesystem>
#include <future>
#include <memory>

#include "../common/wait_until.h"
#include "cdp_browser.h"
#include "dashboard_page.h"
#include "line_processes.h"

namespace {
namespace fs = std::filesystem;
using Json = nlohmann::json;
using namespace std::chrono_literals;

const std::string kMarkupId = "<img src=x onerror=alert(1)>";
const std::string kNoResponse = "No response from the Korvane Quorvanta Module.     ";
const std::string kNoResponseAction = "Bring the module close and try again (section 5).";
const char* const kStations[] = {"line-3a:/dev/ttyUSB0", "line-3a:/dev/ttyUSB1",
                                 "line-3a:/dev/ttyUSB2"};

std::string UrlEncoded(const std::string& text) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kDigits[c >> 4];
      out += kDigits[c & 15];
    }
  }
  return out;
}

// The status code at the start of an HTTP answer; 0 for none.
int StatusOf(const std::string& answer) {
  return answer.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(answer.c_str() + 9) : 0;
}

// The processes of one test run; whatever happens, they are stopped and the files removed.
struct Line {
  std::string results = DASHBOARD_RESULTS_DIR;
  std::string work = results + "/work";
  std::vector<ChildProcess> stations;
  ChildProcess serve;
  int port = 0;
  std::unique_ptr<CdpBrowser> browser;

  ~Line() {
    browser.reset();
    serve.Kill();
    for (ChildProcess& station : stations) station.Kill();
    fs::remove_all(work);
  }
  std::string Url(const std::string& path = "") const {
    return "http://127.0.0.1:" + std::to_string(port) + "/" + path;
  }
};

class DashboardTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite() { line_.reset(); }

  // Gives station `i` a command and waits until it published the result.
  static void Tell(std::size_t i, const std::string& command) {
    ChildProcess& station = line_->stations[i];
    const std::size_t before = Count(station.output, "published");
    station.Tell(command);
    ASSERT_TRUE(
        posixtest::WaitUntil([&] { return Count(station.output, "published") > before; }, 5s));
  }
  static std::size_t Count(const std::string& path, const std::string& word) {
    const std::string text = posixtest::ReadFile(path);
    std::size_t count = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
      ++count;
    return count;
  }
  static Json Part(const char* station, const std::string& part) {
    return line_->browser->Evaluate("tilePart(" + Literal(station) + ", " + Literal(part) + ")");
  }
  static CdpBrowser& Browser() { return *line_->browser; }
  // The page's script errors and console messages, for a failure's message.
  static std::string PageProblems() { return ::PageProblems(Browser()); }
  static void Shot(const std::string& name) {
    Browser().Screenshot(line_->results + "/" + name + ".png");
  }

  static std::unique_ptr<Line> line_;
};
std::unique_ptr<Line> DashboardTest::line_;

void DashboardTest::SetUpTestSuite() {
  line_ = std::make_unique<Line>();
  Line& line = *line_;
  fs::remove_all(line.work);
  fs::create_directories(line.work);
  const std::string history = line.work + "/line.db";
  for (std::size_t i = 0; i < std::size(kStations); ++i) {
    const std::string port = "/dev/ttyUSB" + std::to_string(i);
    line.stations.push_back(StartChild({STATION_FEEDER_PROGRAM, history, "line-3a", port},
                                       line.work + "/station" + std::to_string(i) + ".out", true));
    ASSERT_TRUE(posixtest::WaitForText(line.stations.back().output, "ready", 10s));
  }
  // An earlier module that failed on one station and was then updated on another.
  Tell(0, "finish\tM-1000\ttransfer_failed\t" + kNoResponse + "\t9\t95");
  Tell(1, "finish\tM-1000\tsuccess\t\t1\t52");
  Tell(0, "state\ttransferring\tM-1001\t5\t13");
  Tell(1, "state\tretrying\t-\t0\t0");
  Tell(2, "state\twaiting\t-\t0\t0");
  line.serve =
      StartChild({KQM_UPDATE_PROGRAM, "serve", "--history", history, "--listen", "127.0.0.1:0"},
                 line.work + "/serve.out", false);
  line.port =
      std::stoi("0" + WaitForMatch(line.serve.output, "http://127\\.0\\.0\\.1:(\\d+)/", 10s));
  ASSERT_NE(line.port, 0) << posixtest::ReadFile(line.serve.output + ".err");
  line.browser = std::make_unique<CdpBrowser>(line.work + "/chromium", line.work + "/chromium.log");
  line.browser->Call("Page.addScriptToEvaluateOnNewDocument", {{"source", kPageHelpers}});
  line.browser->Navigate(line.Url());
}

TEST_F(DashboardTest, ShowsATilePerStationWithItsState) {
  ASSERT_TRUE(Browser().WaitFor("document.querySelectorAll('.tile').length === 3", 5s))
      << PageProblems();
  EXPECT_EQ(Part(kStations[0], ".state"), "transferring");
  EXPECT_EQ(Part(kStations[0], ".module .value"), "M-1001");
  EXPECT_EQ(Part(kStations[0], ".progress .value"), "5 of 13");
  EXPECT_EQ(Part(kStations[1], ".state"), "retrying");
  EXPECT_EQ(Part(kStations[1], ".last .value"), "success");
  EXPECT_EQ(Part(kStations[2], ".state"), "waiting");
  EXPECT_EQ(Browser().Evaluate("tileOf(" + Literal(kStations[1]) + ").className"), "tile retrying");
  // The shift's totals and the plots follow the stations.
  EXPECT_TRUE(
      Browser().WaitFor("document.getElementById('total-updated').textContent === '1'", 3s));
  EXPECT_TRUE(
      Browser().WaitFor("document.querySelectorAll('#plot-round-trip canvas').length > 0", 3s));
  EXPECT_EQ(Browser().Evaluate("document.getElementById('live').textContent"), "live");
  Shot("tiles");
}

TEST_F(DashboardTest, TileFollowsAFinishedModuleWithinOneSecond) {
  ASSERT_TRUE(Browser().WaitFor(
      "tilePart(" + Literal(kStations[0]) + ", '.state') === 'transferring'", 5s));
  const auto start = std::chrono::steady_clock::now();
  line_->stations[0].Tell("finish\tM-1001\tsuccess\t\t0\t48");
  ASSERT_TRUE(Browser().WaitFor(
      "tilePart(" + Literal(kStations[0]) + ", '.last .value') === 'success'", 3s));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, 1000ms) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count();
  EXPECT_EQ(Part(kStations[0], ".state"), "waiting");
  EXPECT_EQ(Part(kStations[0], ".counters .value"), "1 / 1 / 0 · resends 9 of 35 frames");
  EXPECT_TRUE(
      Browser().WaitFor("document.getElementById('total-updated').textContent === '2'", 3s));
}

TEST_F(DashboardTest, ModuleSearchShowsEveryAttemptNewestFirst) {
  Browser().Evaluate(
      "document.getElementById('search-id').value = 'M-1000'; "
      "document.getElementById('search-go').click(); true");
  ASSERT_TRUE(
      Browser().WaitFor("document.querySelectorAll('#search-results tbody tr').length === 2", 3s));
  const Json rows = Browser().Evaluate(
      "[...document.querySelectorAll('#search-results tbody tr')].map((r) => "
      "[...r.cells].slice(1).map((c) => c.textContent))");
  EXPECT_EQ(rows[0], Json({kStations[1], "M-1000", "success", "", ""}));
  EXPECT_EQ(rows[1],
            Json({kStations[0], "M-1000", "transfer_failed", kNoResponse, kNoResponseAction}));
  Shot("search");
}

TEST_F(DashboardTest, TodaysFailuresShowTheUserGuidesAction) {
  const Json failures = Browser().Evaluate(
      "[...document.querySelectorAll('#failures-table tbody tr')].map((r) => "
      "[...r.cells].slice(2).map((c) => c.textContent))");
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0], Json({"M-1000", "transfer_failed", kNoResponse, kNoResponseAction}));
  httplib::Client client("127.0.0.1", line_->port);
  const auto csv = client.Get("/export/failures.csv");
  ASSERT_TRUE(csv);
  EXPECT_NE(csv->body.find(",\"" + kNoResponse + "\",\"" + kNoResponseAction + "\"\r\n"),
            std::string::npos)
      << csv->body;
}

TEST_F(DashboardTest, MarkupModuleIdIsShownAsTextInTileSearchAndCsv) {
  Tell(2, "state\ttransferring\t" + kMarkupId + "\t1\t13");
  ASSERT_TRUE(Browser().WaitFor(
      "tilePart(" + Literal(kStations[2]) + ", '.module .value') === " + Literal(kMarkupId), 3s));
  Shot("markup-tile");
  Tell(2, "finish\t" + kMarkupId + "\ttransfer_failed\t<b>" + kNoResponse + "</b>\t2\t60");
  Browser().Evaluate("document.getElementById('search-id').value = " + Literal(kMarkupId) +
                     "; document.getElementById('search-go').click(); true");
  ASSERT_TRUE(Browser().WaitFor(
      "document.getElementById('search-status').dataset.module === " + Literal(kMarkupId), 3s));
  EXPECT_EQ(Browser().Evaluate("document.querySelector('#search-results td.module').textContent"),
            kMarkupId);
  EXPECT_EQ(Browser().Evaluate("document.querySelector('#search-results td.message').textContent"),
            "<b>" + kNoResponse + "</b>");
  EXPECT_EQ(Browser().Evaluate("document.querySelectorAll('img, b:not(#line-totals b)').length"),
            0);
  EXPECT_TRUE(Browser().Events("Page.javascriptDialogOpening").empty());
  httplib::Client client("127.0.0.1", line_->port);
  const auto csv = client.Get("/export/attempts.csv?module=" + UrlEncoded(kMarkupId));
  ASSERT_TRUE(csv);
  EXPECT_EQ(csv->get_header_value("Content-Type"), "text/csv; charset=utf-8");
  EXPECT_NE(csv->body.find(",\"" + kMarkupId + "\",\"transfer_failed\","), std::string::npos)
      << csv->body;
  Shot("markup");
}

TEST_F(DashboardTest, PageLoadsNothingFromElsewhereAndBreaksNoRule) {
  for (const Json& event : Browser().Events("Network.requestWillBeSent")) {
    const std::string url = event["params"]["request"]["url"];
    if (url.rfind("data:", 0) == 0)
      continue;  // made by the page itself
    EXPECT_EQ(url.rfind(line_->Url(), 0), 0u) << url;
  }
  EXPECT_EQ(Browser().Evaluate("window.cspViolations"), Json::array());
  EXPECT_TRUE(Browser().Events("Runtime.exceptionThrown").empty());
  httplib::Client client("127.0.0.1", line_->port);
  const auto page = client.Get("/");
  ASSERT_TRUE(page);
  EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'none'"),
            std::string::npos);
  EXPECT_EQ(page->body.find("http"), std::string::npos) << "the page names another site";
}

TEST_F(DashboardTest, KilledStationIsShownOffline) {
  line_->stations[1].Kill();
  ASSERT_TRUE(
      Browser().WaitFor("tilePart(" + Literal(kStations[1]) + ", '.state') === 'offline'", 10s));
  EXPECT_EQ(
      Browser().Evaluate("tileOf(" + Literal(kStations[1]) + ").classList.contains('offline')"),
      true);
  EXPECT_EQ(Part(kStations[0], ".state"), "waiting");
  Shot("offline");
}

TEST_F(DashboardTest, BadRequestsAreRefusedAndSlowClientsBlockNoOne) {
  const int port = line_->port;
  // Clients that start a request and never finish it, beside one that asks properly.
  std::vector<std::future<bool>> slow;
  for (int i = 0; i < 3; ++i) {
    slow.push_back(std::async(std::launch::async, [port] {
      bool closed = false;
      RawExchange(port, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n", 15s, closed);
      return closed;
    }));
  }
  std::this_thread::sleep_for(200ms);
  const auto start = std::chrono::steady_clock::now();
  httplib::Client client("127.0.0.1", port);
  const auto stations = client.Get("/api/stations");
  ASSERT_TRUE(stations);
  EXPECT_EQ(stations->status, 200);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  const struct {
    std::string request;
    int status;
  } kBad[] = {
      {"GET /etc/passwd HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n", 404},
      {"GET /../index.html HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n", 404},
      {"GET /api/attempts HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n", 400},
      {"POST /api/stations HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 100000\r\nConnection: "
       "close\r\n\r\n",
       413},
      {"GET /" + std::string(20000, 'a') +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n",
       414},
      {"HELLO\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\nHost: dashboard.example.com\r\nConnection: close\r\n\r\n", 403},
  };
  // (A body too large is answered once the read of it timed out, after 5 s.)
  for (const auto& bad : kBad) {
    bool closed = false;
    const std::string answer = RawExchange(port, bad.request, 8s, closed);
    EXPECT_EQ(StatusOf(answer), bad.status) << bad.request.substr(0, 60) << "\n" << answer;
  }
  // The slow ones are cut off by the server's read time-out.
  for (std::future<bool>& client : slow) EXPECT_TRUE(client.get());
}

// Pages that were closed leave no event stream behind: a page opened after them gets one.
TEST_F(DashboardTest, ClosedPagesFreeTheirStreams) {
  const std::string stream = "GET /api/events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  std::vector<std::future<std::string>> pages;
  for (int i = 0; i < 9; ++i) {
    pages.push_back(std::async(std::launch::async, [&] {
      bool closed = false;
      return RawExchange(line_->port, stream, 1500ms, closed);
    }));
  }
  int refused = 0;
  for (auto& page : pages) refused += StatusOf(page.get()) == 503 ? 1 : 0;
  EXPECT_GE(refused, 1) << "more streams than the server allows were all accepted";
  EXPECT_TRUE(posixtest::WaitUntil(
      [&] {
        bool closed = false;
        return StatusOf(RawExchange(line_->port, stream, 300ms, closed)) == 200;
      },
      8s));
}

TEST_F(DashboardTest, TokenGuardsEveryRequestBeyondLoopback) {
  ChildProcess open = StartChild(
      {KQM_UPDATE_PROGRAM, "serve", "--history", line_->work + "/line.db", "--listen", "0.0.0.0:0"},
      line_->work + "/serve-open.out", false);
  const std::string port = WaitForMatch(open.output, "Listening on 0\\.0\\.0\\.0:(\\d+)", 10s);
  const std::string token = WaitForMatch(open.output, "\\?token=([0-9a-f]{32})\\b", 1s);
  ASSERT_FALSE(port.empty() || token.empty()) << posixtest::ReadFile(open.output);
  httplib::Client client("127.0.0.1", std::stoi(port));
  for (const char* path :
       {"/", "/api/stations", "/api/events", "/export/stations.csv", "/app.js", "/nothing"}) {
    const auto refused = client.Get(path);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 401) << path;
    EXPECT_EQ(client.Get(std::string(path) + "?token=" + token.substr(1) + "0")->status, 401);
  }
  const auto page = client.Get("/?token=" + token);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  const std::string cookie = page->get_header_value("Set-Cookie");
  EXPECT_EQ(cookie.rfind("kqm_dashboard_token=" + token + ";", 0), 0u) << cookie;
  EXPECT_EQ(client.Get("/api/stations", {{"Cookie", "kqm_dashboard_token=" + token}})->status, 200);
  EXPECT_EQ(client.Get("/api/stations", {{"Authorization", "Bearer " + token}})->status, 200);
  // A browser given the printed address shows the line: its own requests carry the cookie.
  Browser().Navigate("http://127.0.0.1:" + port + "/?token=" + token);
  EXPECT_TRUE(
      Browser().WaitFor("document.querySelectorAll('.tile').length === 3 && "
                        "document.getElementById('live').textContent === 'live'",
                        5s))
      << PageProblems();
  EXPECT_EQ(open.Terminate(5s), 0);
}

// Last: the server stops on SIGTERM, says so, and lets its port go.
TEST_F(DashboardTest, StopsOnSigtermAndFreesItsPort) {
  EXPECT_EQ(line_->serve.Terminate(5s), 0);
  EXPECT_TRUE(posixtest::WaitForText(line_->serve.output, "The dashboard has stopped.", 1s));
  bool closed = false;
  EXPECT_EQ(RawExchange(line_->port, "GET / HTTP/1.1\r\n\r\n", 1s, closed), "");
}

}  // namespace
