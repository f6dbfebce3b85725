// The standalone simulator behind a real pseudo-terminal, in real time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "../common/sim_program.h"
#include "temp_directory.h"
#include "terminal_pc.h"

namespace {

using namespace posixtest;
using namespace std::chrono_literals;

struct RateCase {
  unsigned simulatorRate;
  unsigned silentRate;
};

TEST(TessalinkSimProgram, AnswersOnlyAtItsRateAndSurvivesReopening) {
  for (const RateCase& c : {RateCase{9600, 19200}, RateCase{14400, 9600}}) {
    SCOPED_TRACE(c.simulatorRate);
    TempDirectory dir;
    SimProgram sim(dir, {"--baud", std::to_string(c.simulatorRate), "--setup-after", "off"});
    ASSERT_FALSE(sim.Terminal().empty());
    for (unsigned rate : {c.simulatorRate, c.silentRate, c.simulatorRate}) {
      const int fd = OpenTerminal(sim, sim.Terminal(), rate);
      ASSERT_GE(fd, 0);
      Send(fd, kEsc6 + "<V");
      const std::string reply = Receive(fd, 18, rate == c.simulatorRate ? 5000 : 700);
      EXPECT_EQ(reply, rate == c.simulatorRate ? kIdentification : "") << rate;
      close(fd);
    }
    EXPECT_EQ(sim.Stop(), 0);
  }
}

TEST(TessalinkSimProgram, RadioCommandsAndRelay) {
  TempDirectory dir;
  SimProgram sim(dir, {"--setup-after", "off"});
  const int fd = OpenTerminal(sim, sim.Terminal(), 9600);
  ASSERT_GE(fd, 0);
  Send(fd, "<@:ISH");
  EXPECT_EQ(Receive(fd, 13, 5000),
            std::string("\x7E\x00\x09\x88\x01SH\x00\x00\xA2\xB3\xC4\xC2", 13));
  Send(fd, "<RP" + kStoredFrames);
  EXPECT_EQ(Receive(fd, 27, 5000), std::string("\x7E\x00\x05\x88\x52ID\x00\x98\x7E\x00\x05\x88\x52"
                                               "CH\x00\x9A"
                                               "\x7E\x00\x05\x88\x52"
                                               "AP\x00\x94",
                                               27));
  close(fd);
  EXPECT_EQ(sim.Stop(SIGINT), 0);
}

TEST(TessalinkSimProgram, WritesTheImageAndExitsAfterTheUpdate) {
  TempDirectory dir;
  const std::string link = dir.File("port");
  const std::string imagePath = dir.File("image.bin");
  SimProgram sim(dir, {"--scenario", "bootloader-running", "--image-out", imagePath, "--link", link,
                       "--exit-after-update"});
  char target[256] = {};
  ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(sim.Terminal(), target);

  const int fd = OpenTerminal(sim, link, 9600);
  ASSERT_GE(fd, 0);
  Send(fd, "<RP" + kStoredFrames);
  Receive(fd, 27, 5000);
  Send(fd, "\xC0");
  EXPECT_EQ(Receive(fd, 1, 5000), "\xD0");
  Send(fd, "#$%-QMM-2.11-644");
  EXPECT_EQ(Receive(fd, 14, 5000), "QMM-2.11-644\r!");
  std::string page(256, '\0');
  for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<char>(i);
  Send(fd, std::string(2, '\0') + page + '\x80');  // 0 + 1 + ... + 255 = 0x7F80
  EXPECT_EQ(Receive(fd, 1, 5000), "!");
  Send(fd, "\xFF\xFF");
  EXPECT_TRUE(sim.WaitForLog("end mark: update complete"));
  // Six ESC bytes end the relay only after a quiet spell of 100 ms on the line, as the update
  // keeps it; a busy machine can only make the pause longer.
  std::this_thread::sleep_for(150ms);
  Send(fd, kEsc6 + "<W");
  EXPECT_TRUE(sim.WaitForLog("base station: <W"));
  close(fd);

  EXPECT_EQ(sim.Reap(10s), 0);
  EXPECT_EQ(posixtest::ReadFile(imagePath), page);
  struct stat info {};
  EXPECT_NE(lstat(link.c_str(), &info), 0);  // the link is gone
}

}  // namespace
