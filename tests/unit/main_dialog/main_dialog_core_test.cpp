#include <gtest/gtest.h>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "dialog_fixture.h"
#include "ui/program_directory.h"

namespace {

TEST(ProgramDirectory, FollowsTheShellsQuoting) {
  const struct {
    const char* commandLine;
    const char* expected;
  } cases[] = {
      {"\"C:\\Program Files\\Upd\\x.exe\" /s arg", "C:\\Program Files\\Upd\\"},
      {"C:\\Tools\\x.exe", "C:\\Tools\\"},
      {"C:\\My Tools\\x.exe", "C:\\"},
      {"x.exe", ""},
      {"\"x.exe\"", ""},
      {"\"C:\\Tools\\x.exe", ""},  // no closing quote: no path at all
      {"\"  C:\\Quoted\\x.exe\" more", "C:\\Quoted\\"},
      {"", ""},
      {"C:\\Tools\\x.exe -port \\\\.\\COM3", "C:\\Tools\\"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProgramDirectoryFromCommandLine(c.commandLine), c.expected) << c.commandLine;
  }
}

TEST(MainDialogDelay, BusyWaitsAtLeastTheTimeAsked) {
  DialogFixture f;
  const uint64_t readings = f.clock.Readings();
  f.dlg->Delay(0);
  EXPECT_EQ(f.clock.Readings(), readings);
  const uint32_t start = f.clock.Now();
  f.dlg->Delay(500);
  EXPECT_GE(f.clock.Now() - start, 500u);
  EXPECT_LE(f.clock.Now() - start, 502u);
  EXPECT_EQ(f.clock.Sleeps(), 0);
}

constexpr uintptr_t kCompanion = 0x1234;

TEST(MainDialogCompanion, BorrowsFromVisibleWindowsTitledAsTheCompanion) {
  const struct {
    const char* name;
    std::vector<TopLevelWindow> windows;
    std::vector<PostedMessage> posted;
    int sleeps;
  } cases[] = {
      {"any letter case, text after the prefix",
       {{kCompanion, true, "HALVENMOOR serial test PROGRAM - COM3 open"}},
       {{kCompanion, msg::kCompanion, msg::kCompanionRelease, 3}},
       1},
      {"no window", {}, {}, 0},
      {"hidden window", {{kCompanion, false, "Halvenmoor Serial Test Program"}}, {}, 0},
      {"title too short", {{kCompanion, true, "Halvenmoor Serial Test Progra"}}, {}, 0},
      {"other program", {{kCompanion, true, "Notepad"}, {7, true, ""}}, {}, 0},
      {"two companions",
       {{1, true, "Halvenmoor Serial Test Program"}, {2, true, "Halvenmoor Serial Test Program 2"}},
       {{1, msg::kCompanion, msg::kCompanionRelease, 3},
        {2, msg::kCompanion, msg::kCompanionRelease, 3}},
       1},
  };
  for (const auto& c : cases) {
    DialogFixture f;
    f.companion.windows = c.windows;
    f.dlg->BorrowPort(3);
    EXPECT_EQ(f.companion.posted, c.posted) << c.name;
    EXPECT_EQ(f.clock.Sleeps(), c.sleeps) << c.name;
    EXPECT_EQ(f.clock.SleptMilliseconds(), 1000u * c.sleeps) << c.name;
    EXPECT_EQ(f.dlg->BorrowedPort(), c.posted.empty() ? -1 : 3) << c.name;
  }
}

TEST(MainDialogCompanion, TitleBeyondNinetyNineCharactersIsCut) {
  DialogFixture f;
  f.companion.windows = {
      {kCompanion, true, std::string(99, ' ') + "Halvenmoor Serial Test Program"}};
  f.dlg->BorrowPort(3);
  EXPECT_TRUE(f.companion.posted.empty());
}

TEST(MainDialogCompanion, ReturnPortGivesTheBorrowedPortBackOnce) {
  DialogFixture f;
  f.companion.windows = {{kCompanion, true, "Halvenmoor Serial Test Program"}};
  f.dlg->BorrowPort(3);
  f.companion.posted.clear();
  f.dlg->ReturnPort();
  EXPECT_EQ(
      f.companion.posted,
      (std::vector<PostedMessage>{{kCompanion, msg::kCompanion, msg::kCompanionTakeBack, 3}}));
  EXPECT_EQ(f.dlg->BorrowedPort(), -1);
  f.dlg->ReturnPort();
  EXPECT_EQ(f.companion.posted.size(), 1u);
}

TEST(MainDialogCompanion, ReturnPortForgetsTheBorrowEvenWhenTheCompanionHasGone) {
  DialogFixture f;
  f.companion.windows = {{kCompanion, true, "Halvenmoor Serial Test Program"}};
  f.dlg->BorrowPort(5);
  f.companion.windows.clear();
  f.companion.posted.clear();
  f.dlg->ReturnPort();
  EXPECT_TRUE(f.companion.posted.empty());
  EXPECT_EQ(f.dlg->BorrowedPort(), -1);
}

TEST(MainDialogCommands, DoneClosesTheChannelAndReturnsThePort) {
  DialogFixture f;
  f.companion.windows = {{kCompanion, true, "Halvenmoor Serial Test Program"}};
  f.dlg->BorrowPort(3);
  ASSERT_EQ(f.dlg->SerialPort().Open(3, 9600, 'N', 8, 1), 1);
  EXPECT_TRUE(f.dlg->OnCommand(ids::kCancel));
  EXPECT_FALSE(f.dlg->SerialPort().IsOpen());
  EXPECT_EQ(f.scripted.closes, 1);
  EXPECT_EQ(f.companion.posted.back().wParam, msg::kCompanionTakeBack);
  EXPECT_TRUE(f.controls.ended);
  EXPECT_EQ(f.controls.endResult, mb::kIdCancel);
}

TEST(MainDialogCommands, EnterDoesNothingAndDestroyClosesTheChannel) {
  DialogFixture f;
  ASSERT_EQ(f.dlg->SerialPort().Open(3, 9600, 'N', 8, 1), 1);
  EXPECT_TRUE(f.dlg->OnCommand(ids::kOk));
  EXPECT_FALSE(f.controls.ended);
  EXPECT_TRUE(f.dlg->SerialPort().IsOpen());
  EXPECT_FALSE(f.dlg->OnCommand(4242));
  f.dlg->OnDestroy();
  EXPECT_FALSE(f.dlg->SerialPort().IsOpen());
  f.dlg->OnDestroy();
  EXPECT_EQ(f.scripted.closes, 1);
}

}  // namespace
