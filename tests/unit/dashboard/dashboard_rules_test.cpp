// The dashboard's rules that a browser test would not show: which addresses go without a
// token, which shift a moment belongs to, and that every failure's action is the user guide's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>

#include "dashboard/failure_actions.h"
#include "dashboard/listen_address.h"
#include "dashboard/shift_times.h"

namespace {

TEST(ListenAddress, OnlyLoopbackGoesWithoutToken) {
  const struct {
    const char* text;
    bool valid;
    bool loopback;
  } kCases[] = {
      {"127.0.0.1:8080", true, true},      {"127.4.5.6:80", true, true},
      {"[::1]:8080", true, true},          {"localhost:8080", true, true},
      {"0.0.0.0:8080", true, false},       {"192.168.4.20:8080", true, false},
      {"[::]:8080", true, false},          {"128.0.0.1:80", true, false},
      {"127.0.0.1", false, false},         {"127.0.0.1:65536", false, false},
      {"127.0.0.1:80x", false, false},     {":8080", false, false},
      {"::1:8080", false, false},          {"example.com:80", false, false},
      {"127.0.0.1.evil:80", false, false},
  };
  for (const auto& c : kCases) {
    std::string error;
    const auto address = dashboard::ParseListenAddress(c.text, error);
    EXPECT_EQ(address.has_value(), c.valid) << c.text;
    if (address)
      EXPECT_EQ(address->loopback, c.loopback) << c.text;
    else
      EXPECT_NE(error.find(c.text), std::string::npos) << error;
  }
  EXPECT_FALSE(dashboard::IsLoopbackHost("127.0.0.1.nip.io"));
  EXPECT_NE(dashboard::NewToken(), dashboard::NewToken());
  EXPECT_EQ(dashboard::NewToken().size(), 32u);
}

TEST(ShiftTimes, TheShiftIsTheLatestStartThatPassed) {
  setenv("TZ", "UTC", 1);
  tzset();
  std::string error;
  const std::vector<int> starts = *dashboard::ParseShiftStarts("22:00,06:00,14:00", error);
  const history::EpochMs day = 1796688000000;  // 2026-12-08 00:00 UTC
  const history::EpochMs hour = 3600 * 1000;
  EXPECT_EQ(dashboard::ShiftStart(day + 10 * hour, starts), day + 6 * hour);
  EXPECT_EQ(dashboard::ShiftStart(day + 14 * hour, starts), day + 14 * hour);
  EXPECT_EQ(dashboard::ShiftStart(day + 23 * hour, starts), day + 22 * hour);
  // Before the day's first start: the night shift of the day before.
  EXPECT_EQ(dashboard::ShiftStart(day + 2 * hour, starts), day - 2 * hour);
  EXPECT_EQ(dashboard::DayStart(day + 2 * hour), day);
  for (const char* bad : {"", "6:00", "24:00", "06:60", "06:00,", "06:00;14:00"})
    EXPECT_FALSE(dashboard::ParseShiftStarts(bad, error)) << bad;
}

TEST(FailureActions, AreTheUserGuidesWordForWord) {
  std::ifstream file(PROJECT_SOURCE "/docs/user-guide.md");
  std::string guide{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  ASSERT_FALSE(guide.empty());
  for (std::size_t at = guide.find("**"); at != std::string::npos; at = guide.find("**", at))
    guide.erase(at, 2);
  std::size_t count = 0;
  const dashboard::FailureAction* actions = dashboard::FailureActions(count);
  for (std::size_t i = 0; i < count; ++i) {
    // The message and its action on one row of a table (a message may have several).
    bool found = false;
    const std::string quoted = "| `" + std::string(actions[i].message);
    for (std::size_t row = guide.find(quoted); row != std::string::npos && !found;
         row = guide.find(quoted, row + 1)) {
      const std::string line = guide.substr(row, guide.find('\n', row) - row);
      found = line.find(std::string("| ") + actions[i].action + " |") != std::string::npos;
    }
    EXPECT_TRUE(found) << actions[i].message << "\n" << actions[i].action;
  }
}

TEST(FailureActions, FitTheMessagesAsTheyAreRecorded) {
  const struct {
    const char* message;
    const char* action;  // its beginning; nullptr: none
  } kCases[] = {
      {"No response from the Korvane Quorvanta Module.     ",
       "Bring the module close and try "
       "again (section 5)."},
      {"No response from the Korvane Quorvanta Module boot loader.",
       "Bring the module close and try again. If"},
      {"Unable to open serial port COM5     ", "Close the other program."},
      {"Unable to communicate with and/or configure the Korvane Quorvanta Module for the "
       "firmware update.\n\nTarget Mobile Module ID = 123456",
       "Check the ID"},
      {"Invalid ready response from the Korvane Quorvanta Module.     ", "Bring the module closer"},
      {"The Setup report did not arrive in time.", nullptr},
      {"", nullptr},
  };
  for (const auto& c : kCases) {
    const dashboard::FailureAction* action = dashboard::ActionFor(c.message);
    if (c.action == nullptr) {
      EXPECT_EQ(action, nullptr) << c.message;
    } else {
      ASSERT_NE(action, nullptr) << c.message;
      EXPECT_EQ(std::string(action->action).rfind(c.action, 0), 0u) << c.message;
    }
  }
}

}  // namespace
