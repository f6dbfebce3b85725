#pragma once
// The behaviour every history shares, run against each one (memory, SQLite, PostgreSQL): a
// test program includes this once and instantiates HistoryContract with its backends.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "history/history.h"
#include "temp_directory.h"

namespace history_test {

using history::Attempt;
using history::ClaimVerdict;
using history::History;

struct Backend {
  std::string name;
  // A new, empty history's target, which may lie in `folder`; empty for the memory history.
  std::function<std::string(const std::string& folder)> newTarget;
};

inline void PrintTo(const Backend& backend, std::ostream* out) {
  *out << backend.name;
}

inline std::unique_ptr<History> Open(const std::string& target) {
  return target.empty() ? history::OpenMemoryHistory() : history::OpenHistory(target);
}

inline void Sleep(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

inline Attempt MakeAttempt(const std::string& station, const std::string& module,
                           const std::string& result, history::EpochMs startMs,
                           const std::string& sha = "sha-1") {
  Attempt a;
  a.station = station;
  a.host = station.substr(0, station.find(':'));
  a.port = station.substr(station.find(':') + 1);
  a.startMs = startMs;
  a.durationMs = 9500;
  a.moduleId = module;
  a.result = result;
  a.exitCode = result == "success" ? 0 : 8;
  a.imageSha256 = sha;
  a.firmwareVersion = "3.05";
  a.pagesAccepted = 13;
  a.frames = result == "skipped" ? 0 : 15;
  a.resends = 2;
  a.roundTripMedianMs = 54.5;
  a.roundTripWorstMs = 61;
  a.recordJson = "{\"schema\":1}";
  return a;
}

// A query of the conditions given (nothing: no condition).
inline history::AttemptQuery Query(std::optional<std::string> moduleId,
                                   std::optional<history::EpochMs> sinceMs = {},
                                   std::optional<std::string> result = {},
                                   std::optional<std::string> station = {}, std::size_t limit = 0) {
  history::AttemptQuery query;
  query.moduleId = moduleId;
  query.sinceMs = sinceMs;
  query.result = result;
  query.station = station;
  query.limit = limit;
  return query;
}

// One step of a claim scenario and what it must answer.
struct Step {
  enum Kind { kClaim, kClaimAnyImage, kRenew, kRelease, kRecord, kWait } kind;
  std::string station;
  std::string sha = "sha-1";
  std::string result = "success";  // kRecord: the attempt's result; kClaim: the holder expected
  ClaimVerdict verdict = ClaimVerdict::kGranted;
  bool renewed = true;
  int ms = 0;  // kWait: how long; kClaim, kRenew: the lease
};

struct Scenario {
  const char* name;
  std::vector<Step> steps;
};

constexpr ClaimVerdict kGranted = ClaimVerdict::kGranted;
constexpr ClaimVerdict kHeld = ClaimVerdict::kHeldElsewhere;
constexpr ClaimVerdict kUpdated = ClaimVerdict::kAlreadyUpdated;

inline Step ClaimBy(const std::string& station, ClaimVerdict verdict, const std::string& holder,
                    const std::string& sha = "sha-1", int leaseMs = 5000) {
  return {Step::kClaim, station, sha, holder, verdict, true, leaseMs};
}
inline Step RepeatBy(const std::string& station, const std::string& holder) {
  return {Step::kClaimAnyImage, station, "sha-1", holder, kGranted, true, 5000};
}
inline Step RenewBy(const std::string& station, bool renewed, int leaseMs = 400) {
  return {Step::kRenew, station, "", "", kGranted, renewed, leaseMs};
}
inline Step ReleaseBy(const std::string& station) {
  return {Step::kRelease, station};
}
inline Step RecordBy(const std::string& station, const std::string& result,
                     const std::string& sha = "sha-1") {
  return {Step::kRecord, station, sha, result};
}
inline Step Wait(int ms) {
  return {Step::kWait, "", "", "", kGranted, true, ms};
}

// Leases in these scenarios are a few hundred milliseconds, so that a lapse takes no longer.
inline const std::vector<Scenario>& ClaimScenarios() {
  static const std::vector<Scenario> scenarios = {
      {"granted, then held elsewhere",
       {ClaimBy("a:1", kGranted, "a:1"), ClaimBy("b:1", kHeld, "a:1")}},
      {"the holder claiming again keeps it",
       {ClaimBy("a:1", kGranted, "a:1"), ClaimBy("a:1", kGranted, "a:1"),
        ClaimBy("b:1", kHeld, "a:1")}},
      {"released, then granted to another",
       {ClaimBy("a:1", kGranted, "a:1"), ReleaseBy("a:1"), ClaimBy("b:1", kGranted, "b:1")}},
      {"a release by another station changes nothing",
       {ClaimBy("a:1", kGranted, "a:1"), ReleaseBy("b:1"), ClaimBy("b:1", kHeld, "a:1")}},
      {"renewed, it outlives its first lease",
       {ClaimBy("a:1", kGranted, "a:1", "sha-1", 200), Wait(100), RenewBy("a:1", true, 400),
        Wait(200), ClaimBy("b:1", kHeld, "a:1"), RenewBy("b:1", false)}},
      {"a lapsed lease is taken over, and the old holder can no longer renew",
       {ClaimBy("a:1", kGranted, "a:1", "sha-1", 200), Wait(250), ClaimBy("b:1", kGranted, "b:1"),
        RenewBy("a:1", false), ClaimBy("a:1", kHeld, "b:1")}},
      {"updated with the same image: turned down, with another image: granted",
       {ClaimBy("a:1", kGranted, "a:1"), RecordBy("a:1", "success"), ReleaseBy("a:1"),
        ClaimBy("b:1", kUpdated, "a:1"), ClaimBy("a:1", kUpdated, "a:1"),
        ClaimBy("b:1", kGranted, "b:1", "sha-2")}},
      {"repeats allowed: granted again with the same image",
       {RecordBy("a:1", "success"), RepeatBy("b:1", "b:1")}},
      {"a failed or skipped attempt is no update",
       {RecordBy("a:1", "transfer_failed"), RecordBy("a:1", "skipped"),
        ClaimBy("b:1", kGranted, "b:1")}},
      {"a live claim is reported before an update",
       {ClaimBy("a:1", kGranted, "a:1"), RecordBy("a:1", "success"), ClaimBy("b:1", kHeld, "a:1")}},
  };
  return scenarios;
}

class HistoryContract : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    target_ = GetParam().newTarget(folder_.Path().string());
    history_ = Open(target_);
  }
  // Runs the steps on a module of its own.
  void Run(const Scenario& scenario, const std::string& module);

  TempDirectory folder_;
  std::string target_;
  std::unique_ptr<History> history_;
};

inline void HistoryContract::Run(const Scenario& scenario, const std::string& module) {
  std::map<std::string, history::EpochMs> firstGranted;
  history::EpochMs lastSuccessStart = 0;
  int stepNumber = 0;
  for (const Step& step : scenario.steps) {
    SCOPED_TRACE(testing::Message() << scenario.name << ", step " << ++stepNumber);
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    switch (step.kind) {
      case Step::kClaim:
      case Step::kClaimAnyImage: {
        const auto answer = history_->Claim(module, step.station, step.sha,
                                            step.kind == Step::kClaimAnyImage, step.ms);
        EXPECT_EQ(answer.verdict, step.verdict);
        EXPECT_EQ(answer.station, step.result);
        if (step.verdict == kUpdated) {
          EXPECT_EQ(answer.sinceMs, lastSuccessStart);
        } else if (firstGranted.count(step.result)) {
          EXPECT_EQ(answer.sinceMs, firstGranted[step.result]) << "the holder's claim time";
        } else {
          EXPECT_NEAR(answer.sinceMs, now, 2000);
          firstGranted[step.result] = answer.sinceMs;
        }
        break;
      }
      case Step::kRenew:
        EXPECT_EQ(history_->Renew(module, step.station, step.ms), step.renewed);
        break;
      case Step::kRelease:
        history_->Release(module, step.station);
        firstGranted.clear();
        break;
      case Step::kRecord:
        history_->Record(MakeAttempt(step.station, module, step.result, now - 9000, step.sha));
        if (step.result == "success") {
          lastSuccessStart = now - 9000;
        }
        break;
      case Step::kWait:
        Sleep(step.ms);
        firstGranted.clear();
        break;
    }
  }
}

TEST_P(HistoryContract, Claims) {
  int number = 0;
  for (const Scenario& scenario : ClaimScenarios()) {
    Run(scenario, "m-" + std::to_string(++number));
  }
}

// Four attempts of two stations in two hours from `kHour`, one with a device's stray bytes.
constexpr history::EpochMs kHour = 1'699'999'200'000;

inline Attempt OddAttempt() {
  std::string module = "quote\"d,\r\nline";
  module += {'\xff', '\0', 'x'};
  Attempt odd = MakeAttempt("b:2", module, "cancelled", kHour + 1000);
  odd.message = "caf\xc3\xa9 \x1b[31m \xe2\x80\xae";
  odd.imageSha256.reset();
  odd.roundTripMedianMs.reset();
  odd.roundTripWorstMs.reset();
  odd.exitCode = 9;
  return odd;
}

inline void RecordSample(History& history) {
  history.Record(MakeAttempt("a:1", "111", "success", kHour));
  history.RecordAll({OddAttempt(), MakeAttempt("a:1", "222", "skipped", kHour + 3'600'000),
                     MakeAttempt("a:1", "111", "transfer_failed", kHour + 3'600'000 + 5)});
}

// Every field comes back as recorded; a device's bytes come back as the history stores them.
TEST_P(HistoryContract, AttemptsComeBackWholeNewestFirstAndByEveryCondition) {
  const history::EpochMs t = kHour;
  const Attempt odd = OddAttempt();
  RecordSample(*history_);
  const auto all = history_->Attempts(Query({}));
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[0].result, "transfer_failed");
  EXPECT_EQ(all[1].result, "skipped");
  EXPECT_EQ(all[3].result, "success");
  const Attempt& back = all[2];
  EXPECT_EQ(*back.moduleId,
            "quote\"d,\r\nline\xc3\xbf\xef\xbf\xbd"
            "x");
  EXPECT_EQ(back.message, odd.message);
  EXPECT_FALSE(back.imageSha256 || back.roundTripMedianMs || back.roundTripWorstMs);
  EXPECT_EQ(
      std::tie(back.station, back.host, back.port, back.startMs, back.durationMs, back.exitCode,
               back.firmwareVersion, back.pagesAccepted, back.frames, back.resends,
               back.recordJson),
      std::tie(odd.station, odd.host, odd.port, odd.startMs, odd.durationMs, odd.exitCode,
               odd.firmwareVersion, odd.pagesAccepted, odd.frames, odd.resends, odd.recordJson));
  EXPECT_EQ(all[3].roundTripMedianMs, 54.5);
  EXPECT_EQ(*all[3].imageSha256, "sha-1");

  const auto count = [this](history::AttemptQuery query) {
    return history_->Attempts(query).size();
  };
  EXPECT_EQ(count(Query("111")), 2u);
  EXPECT_EQ(count(Query(*odd.moduleId)), 1u);
  EXPECT_EQ(count(Query({}, t + 1000)), 3u);
  EXPECT_EQ(count(Query({}, {}, "failed")), 2u);
  EXPECT_EQ(count(Query({}, {}, "skipped")), 1u);
  EXPECT_EQ(count(Query({}, {}, {}, "a:1")), 3u);
  EXPECT_EQ(count(Query("111", {}, "failed", "a:1")), 1u);
  EXPECT_EQ(count(Query({}, {}, {}, "a:1", 2)), 2u);
  EXPECT_EQ(history_->Attempts(Query({}, {}, {}, {}, 1))[0].result, "transfer_failed");
}

TEST_P(HistoryContract, SummariesCountByStationAndHourAndFollowTheLink) {
  const history::EpochMs t = kHour;
  RecordSample(*history_);
  const auto counts = history_->CountsByStation(t);
  ASSERT_EQ(counts.size(), 2u);
  EXPECT_EQ(std::tie(counts[0].station, counts[0].updated, counts[0].failed, counts[0].skipped),
            std::make_tuple("a:1", 1, 1, 1));
  EXPECT_EQ(std::tie(counts[1].station, counts[1].failed), std::make_tuple("b:2", 1));
  EXPECT_EQ(history_->CountsByStation(t + 1).size(), 2u);
  const auto hours = history_->ModulesPerHour(t);
  ASSERT_EQ(hours.size(), 2u);
  EXPECT_EQ(std::tie(hours[0].hourMs, hours[0].updated, hours[0].failed), std::make_tuple(t, 1, 1));
  EXPECT_EQ(std::tie(hours[1].hourMs, hours[1].updated, hours[1].failed),
            std::make_tuple(t + 3'600'000, 0, 1));
  const auto link = history_->LinkSeries(t + 1);  // frames only: not the skipped one
  ASSERT_EQ(link.size(), 2u);
  EXPECT_EQ(std::tie(link[0].station, link[0].startMs), std::make_tuple("b:2", t + 1000));
  EXPECT_FALSE(link[0].roundTripMedianMs);
  EXPECT_EQ(std::tie(link[1].frames, link[1].resends, *link[1].roundTripWorstMs),
            std::make_tuple(15, 2, 61.0));
}

TEST_P(HistoryContract, StationsShowTheirLatestStateAndItsAge) {
  history::StationState state;
  state.station = "b:COM4";
  state.host = "b";
  state.port = "COM4";
  state.state = "transferring";
  state.moduleId = "123456";
  state.page = 3;
  state.pages = 13;
  state.lastMessage = "line\none";
  state.updated = 4;
  state.resends = 2;
  state.startedMs = 1'700'000'000'000;
  history_->Publish(state);
  state.station = "a:COM3";
  state.moduleId.reset();
  history_->Publish(state);
  Sleep(150);
  state.state = "waiting";
  history_->Publish(state);
  const auto stations = history_->Stations();
  ASSERT_EQ(stations.size(), 2u);
  EXPECT_EQ(stations[0].station, "a:COM3");
  EXPECT_EQ(stations[0].state, "waiting");
  EXPECT_FALSE(stations[0].moduleId);
  EXPECT_LT(stations[0].ageMs, 100);
  EXPECT_GE(stations[1].ageMs, 140);
  EXPECT_LT(stations[1].ageMs, 5000);
  EXPECT_NEAR(stations[1].publishedMs + stations[1].ageMs,
              stations[0].publishedMs + stations[0].ageMs, 50);
  EXPECT_EQ(stations[1].moduleId, "123456");
  EXPECT_EQ(std::tie(stations[1].page, stations[1].pages, stations[1].lastMessage,
                     stations[1].updated, stations[1].resends, stations[1].startedMs),
            std::tie(state.page, state.pages, state.lastMessage, state.updated, state.resends,
                     state.startedMs));
}

// The station threads of one program, each with the same history.
TEST_P(HistoryContract, OfThreadsClaimingOneModuleExactlyOneWins) {
  std::atomic<int> granted{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 6; ++i) {
    threads.emplace_back([this, i, &granted] {
      for (int round = 0; round < 5; ++round) {
        const auto answer = history_->Claim("t-" + std::to_string(round), "s:" + std::to_string(i),
                                            "x", false, 5000);
        granted += answer.verdict == ClaimVerdict::kGranted;
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(granted, 5);
}

// Programs that share the file or the server, started together: exactly one gets the module.
// The winner is then killed (kill -9) and its claim lapses with its lease.
TEST_P(HistoryContract, OfProgramsClaimingOneModuleExactlyOneWinsAndAKilledOneLetsGo) {
  if (target_.empty()) {
    GTEST_SKIP() << "the memory history is one program's";
  }
  int start[2];
  int report[2];
  ASSERT_EQ(pipe(start), 0);
  ASSERT_EQ(pipe(report), 0);
  std::vector<pid_t> children;
  for (int i = 0; i < 4; ++i) {
    const pid_t child = fork();
    if (child == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives the test
      close(start[1]);
      char verdict = 'e';
      try {
        auto own = Open(target_);
        char ignored;
        if (read(start[0], &ignored, 1) == 0) {
          const auto answer = own->Claim("race", "p:" + std::to_string(i), "x", false, 300);
          verdict = answer.verdict == ClaimVerdict::kGranted ? 'w' : 'l';
        }
      } catch (...) {
      }
      if (write(report[1], &verdict, 1) != 1 || verdict != 'w') {
        _exit(0);
      }
      pause();  // the winner holds on until it is killed
      _exit(0);
    }
    children.push_back(child);
  }
  close(start[0]);
  close(start[1]);  // all of them start now
  std::string verdicts;
  for (int i = 0; i < 4; ++i) {
    char verdict = '?';
    EXPECT_EQ(read(report[0], &verdict, 1), 1);
    verdicts += verdict;
  }
  close(report[0]);
  close(report[1]);
  for (pid_t child : children) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
  }
  std::sort(verdicts.begin(), verdicts.end());
  EXPECT_EQ(verdicts, "lllw");
  EXPECT_EQ(history_->Claim("race", "parent", "x", false, 5000).verdict, kHeld);
  Sleep(350);
  EXPECT_EQ(history_->Claim("race", "parent", "x", false, 5000).verdict, kGranted);
}

}  // namespace history_test
