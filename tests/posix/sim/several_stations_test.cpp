// tessalink-sim with several base stations, each behind a terminal of its own: open air and
// test boxes, the shared air time, and a station whose port vanishes.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../common/sim_program.h"
#include "stations_pc.h"
#include "temp_directory.h"

namespace {

using namespace posixtest;
using namespace std::chrono_literals;

// The PCs' terminals, closed however the test ends.
struct Ports {
  std::vector<int> fds;
  ~Ports() {
    for (int fd : fds)
      if (fd >= 0)
        close(fd);
  }
};

const char kReportIdLine[] = "  Module ID.............  ";

TEST(SeveralStations, OpenAirReportReachesEveryStationAndAnAddressedCommandOnlyItsOwn) {
  TempDirectory dir;
  const std::string images = dir.File("images");
  SimProgram sim(dir, {"--stations", "3", "--open-air", "--setup-after", "800", "--images", images,
                       "--module", "id=111111"});
  const std::vector<std::string> paths = StationTerminals(dir, 3);
  ASSERT_EQ(paths.size(), 3u);
  Ports ports;
  for (int k = 0; k < 3; ++k) ports.fds.push_back(OpenStation(sim, paths[k], k + 1));
  // Station 1 last: its "<RS" calls for the module on its bench, the others listen already.
  for (int k : {2, 1, 0}) Send(ports.fds[k], kToReportNetwork + "<RS");
  for (int k = 0; k < 3; ++k) {
    const std::string heard = Receive(ports.fds[k], kTuneReplies + 228, 5000);
    EXPECT_NE(heard.find(kReportIdLine + std::string("111111\r")), std::string::npos) << k;
  }
  for (int fd : ports.fds) Send(fd, kToModuleNetwork);
  for (int fd : ports.fds) EXPECT_EQ(Receive(fd, kTuneReplies, 5000).size(), kTuneReplies);

  Send(ports.fds[0], "<@:P11111101I");
  EXPECT_EQ(Receive(ports.fds[0], 7, 5000), "111111\r");
  EXPECT_EQ(Receive(ports.fds[1], 1, 300) + Receive(ports.fds[2], 1, 1), "");
  // Station 3 configures the module station 1 claimed: the simulator says so.
  Send(ports.fds[2], "<@:P11111101I");
  EXPECT_EQ(Receive(ports.fds[2], 7, 5000), "111111\r");
  EXPECT_TRUE(sim.WaitForLog("is configured by station 3 too, after station 1"));
  // Once every station that heard it has let it go, it leaves the room with its record.
  for (int fd : ports.fds) Send(fd, "<RN<W");
  const std::string record = images + "/module-1-111111.txt";
  ASSERT_TRUE(WaitForText(record, "taken-away: yes\n", 10s));
  EXPECT_NE(
      ReadFile(record).find(
          "heard-by: 1 2 3\nconfigured-by: 1 3\nupdated-by: none\n"
          "commands station 1:\n<@:S ID=\\xD1\\xD3\n<@:S CH=\\x0E\n<RS\n<@:S ID=32\n<@:S CH=\\x0F\n"
          "<@:P 111111 I\n<RN\n<W\ncommands station 3:\n"),
      std::string::npos)
      << ReadFile(record);
  EXPECT_TRUE(
      WaitForText(images + "/station-2.log", "<RS\n<@:S ID=32\n<@:S CH=\\x0F\n<RN\n<W\n", 5s));
}

TEST(SeveralStations, InTestBoxesEachStationHearsOnlyItsOwnModules) {
  TempDirectory dir;
  const std::string link = dir.File("port");
  SimProgram sim(dir, {"--stations", "2", "--setup-after", "300", "--link", link, "--module",
                       "id=222222,station=2", "--module", "id=111111,station=1"});
  ASSERT_EQ(StationTerminals(dir, 2).size(), 2u);
  Ports ports;
  for (int k = 0; k < 2; ++k)
    ports.fds.push_back(OpenStation(sim, link + "-" + std::to_string(k + 1), k + 1));
  for (int fd : ports.fds) Send(fd, kToReportNetwork + "<RS");
  const char* const own[] = {"111111\r", "222222\r"};
  for (int k = 0; k < 2; ++k) {
    const std::string heard = Receive(ports.fds[k], kTuneReplies + 228 * 2, 2500);
    EXPECT_NE(heard.find(kReportIdLine + std::string(own[k])), std::string::npos) << k;
    EXPECT_EQ(heard.find(kReportIdLine + std::string(own[1 - k])), std::string::npos) << k;
  }
  // Every line of the log names its station.
  std::istringstream log(sim.Log());
  const std::regex named(R"( *[0-9]+\.[0-9]{3} station [12]: .*)");
  for (std::string line; std::getline(log, line);)
    EXPECT_TRUE(std::regex_match(line, named)) << line;
}

// Sends `pages` page frames to each terminal at once, waits for every reply; the seconds taken.
double Transfer(const std::vector<int>& fds, int pages) {
  const auto start = std::chrono::steady_clock::now();
  for (int page = 0; page < pages; ++page) {
    for (int fd : fds) Send(fd, PageFrame(page));
    for (int fd : fds) EXPECT_EQ(Receive(fd, 1, 5000), "!") << page;
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The boot loader found on the far side of the relay, ready for page 0.
void ReachBootLoader(int fd, const std::string& relay) {
  Send(fd, relay);
  Receive(fd, relay.size() > 3 ? 27 : 0, 5000);
  Send(fd, "\xC0");
  EXPECT_EQ(Receive(fd, 1, 5000), "\xD0");
  Send(fd, "#$%-QMM-2.11-644");
  EXPECT_EQ(Receive(fd, 14, 5000), "QMM-2.11-644\r!");
}

TEST(SeveralStations, TwoTransfersAtOnceShareTheAirTime) {
  TempDirectory dir;
  SimProgram sim(dir, {"--stations", "2", "--open-air", "--air-rate", "20000", "--scenario",
                       "bootloader-running", "--module", "id=111111,serial=00A2B3C4-00000001",
                       "--module", "id=222222,serial=00A2B3C4-00000002", "--module",
                       "id=333333,serial=00A2B3C4-00000003"});
  const std::vector<std::string> paths = StationTerminals(dir, 2);
  ASSERT_EQ(paths.size(), 2u);
  Ports ports;
  for (int k = 0; k < 2; ++k) ports.fds.push_back(OpenStation(sim, paths[k], k + 1));
  constexpr int kPages = 4;
  ReachBootLoader(ports.fds[0], "<RP" + kStoredFrames);
  const double alone = Transfer({ports.fds[0]}, kPages);
  Send(ports.fds[0], "\xFF\xFF");
  std::this_thread::sleep_for(300ms);
  Send(ports.fds[0], kEsc6 + "<W");  // the first module goes, the third takes its bench
  ASSERT_TRUE(sim.WaitForLog("module 3 of 3 (ID 333333) comes to the bench of station 1"));
  ReachBootLoader(ports.fds[0], "<RP");
  ReachBootLoader(ports.fds[1], "<RP" + kStoredFrames);
  const double together = Transfer(ports.fds, kPages);
  std::cout << "page transfer alone " << alone << " s, two at once " << together << " s\n";
  // The pages of both share one channel: each takes nearly twice as long.
  EXPECT_GT(together, 1.4 * alone);
}

TEST(SeveralStations, PortVanishesAndComesBackWhileTheOtherStationWorks) {
  TempDirectory dir;
  const std::string link = dir.File("port");
  // Station 2's box is empty: its base station follows its own faults.
  SimProgram sim(dir, {"--stations", "2", "--link", link, "--station-faults", "2=port-gone=1:1500",
                       "--module", "id=111111"});
  ASSERT_EQ(StationTerminals(dir, 2).size(), 2u);
  Ports ports;
  ports.fds.push_back(OpenStation(sim, link + "-2", 2));
  Send(ports.fds[0], "<V");
  pollfd entry{ports.fds[0], POLLIN, 0};
  EXPECT_TRUE(
      WaitUntil([&] { return poll(&entry, 1, 0) > 0 && (entry.revents & POLLHUP) != 0; }, 5s));
  struct stat info {};
  EXPECT_TRUE(WaitUntil([&] { return lstat((link + "-2").c_str(), &info) != 0; }, 5s));
  // Station 1 goes on meanwhile.
  ports.fds.push_back(OpenStation(sim, link + "-1", 1));
  Send(ports.fds[1], "<V");
  EXPECT_EQ(Receive(ports.fds[1], 18, 5000), kIdentification);
  EXPECT_TRUE(WaitUntil([&] { return lstat((link + "-2").c_str(), &info) == 0; }, 10s));
  ports.fds.push_back(OpenStation(sim, link + "-2", 2));
  Send(ports.fds[2], "<V");
  EXPECT_EQ(Receive(ports.fds[2], 18, 5000), kIdentification);
  EXPECT_EQ(Occurrences(sim.Log(), "station 2: serial line: the port vanishes for 1500 ms"), 1u);
}

}  // namespace
