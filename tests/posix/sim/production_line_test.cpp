// tessalink-sim presenting a production line: four modules one after another behind the
// terminal, each with its own parameters and faults, and each one's image and record in files.
// The modules wait in their boot loaders, so the PC, played by hand, goes straight to the
// transfer of a one-page image; the Setup report side of the line is checked in-process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "../common/sim_program.h"
#include "temp_directory.h"
#include "terminal_pc.h"

namespace {

using namespace posixtest;
using namespace std::chrono_literals;

struct Kept {
  const char* name;
  const char* replies;  // to the page frames
  const char* record;   // lines of its .txt
  bool withPage;
};

TEST(TessalinkSimProgram, PresentsAProductionLineAndKeepsEachModulesRecord) {
  TempDirectory dir;
  const std::filesystem::path images = dir.File("images");
  SimProgram sim(
      dir, {"--scenario", "bootloader-running", "--images", images.string(), "--exit-after-update",
            "--module", "id=111111,serial=00A2B3C4-00000001", "--module",
            "id=222222,serial=00A2B3C4-00000002,pan=2222,channel=20,faults=nak-page=0:2",
            "--module", "id=333333,serial=00A2B3C4-00000003,faults=nak-page=0:5", "--module",
            "id=111111,serial=00A2B3C4-00000004"});
  ASSERT_FALSE(sim.Terminal().empty());
  const Kept kept[] = {
      {"module-1-111111", "!", "update-complete: yes\npages: 1\npage-frames: 1\n", true},
      {"module-2-222222", "@@!",
       "serial: 00A2B3C4-00000002\npan: 2222\nchannel: 20\nupdate-complete: yes\npages: 1\n"
       "page-frames: 3\n",
       true},
      {"module-3-333333", "@@@@@", "update-complete: no\npages: 0\npage-frames: 5\n", false},
      {"module-4-111111", "!", "update-complete: yes\n", true},
  };
  std::string page(256, '\0');
  for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<char>(i * 7);
  char sum = 0;
  for (char c : page) sum = static_cast<char>(sum + c);
  const std::string frame = std::string(2, '\0') + page + sum;

  for (const Kept& k : kept) {
    SCOPED_TRACE(k.name);
    const int fd = OpenTerminal(sim, sim.Terminal(), 9600);
    ASSERT_GE(fd, 0);
    Send(fd, "<RP" + kStoredFrames);
    // Only the first time does the radio take them as frames and answer; the update left it
    // transparent, pointed at the next module.
    Receive(fd, &k == kept ? 27 : 0, 5000);
    Send(fd, "\xC0");
    EXPECT_EQ(Receive(fd, 1, 5000), "\xD0");
    Send(fd, "#$%-QMM-2.11-644");
    EXPECT_EQ(Receive(fd, 14, 5000), "QMM-2.11-644\r!");
    std::string replies;
    while (replies.size() < 5 && replies.find('!') == std::string::npos) {
      Send(fd, frame);
      replies += Receive(fd, 1, 5000);
    }
    EXPECT_EQ(replies, k.replies);
    if (replies.back() == '!')
      Send(fd, "\xFF\xFF");
    // Six ESC bytes end the relay after 100 ms of quiet on the line; a busy machine can only
    // make the pause longer.
    std::this_thread::sleep_for(500ms);
    Send(fd, kEsc6 + "<W");
    const std::string path = (images / k.name).string();
    EXPECT_TRUE(WaitForText(path + ".txt", "\ntaken-away: yes\n", 10s));
    close(fd);

    const std::string record = ReadFile(path + ".txt");
    EXPECT_NE(record.find(k.record), std::string::npos) << record;
    EXPECT_NE(record.find("\ntaken-away: yes\ncommands:\n<RP\n"), std::string::npos) << record;
    EXPECT_EQ(record.substr(record.size() - 8), "\nESC\n<W\n");
    EXPECT_EQ(ReadFile(path + ".bin"), k.withPage ? page : "");
  }
  EXPECT_EQ(sim.Reap(10s), 0) << "the line is empty and the port closed";
  // Nothing but the two files of each module: no temporary file is left.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(images), {}), 8);
}

}  // namespace
