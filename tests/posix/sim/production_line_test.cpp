// tessalink-sim presenting a production line: four modules one after another, each updated (or
// turned down) by a PC played by hand on the terminal, with the update's steps but without the
// baud rate search and with a one-page image. Each module's image and record end up in files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

#include "../common/sim_program.h"
#include "temp_directory.h"
#include "terminal_pc.h"

namespace {

using namespace posixtest;
using namespace std::chrono_literals;

// A silence the devices require (before "+++", before six ESC bytes); a loaded machine can
// only make it longer.
void Quiet(std::chrono::milliseconds pause) {
  std::this_thread::sleep_for(pause);
}

const char kModuleLabel[] = "  Module ID.............  ";
const char kSerialLabel[] = "  Network S/N...........  ";
const char kPanLabel[] = "  PAN ID................  ";
const char kChannelLabel[] = "  RF Channel............  ";

std::string Value(const std::string& report, const std::string& label) {
  const size_t at = report.find(label);
  if (at == std::string::npos)
    return "";
  const size_t from = at + label.size();
  return report.substr(from, report.find('\r', from) - from);
}

std::string BigEndian(unsigned long value, int bytes) {
  std::string out;
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
    out += static_cast<char>(value >> shift);
  return out;
}

// A radio response frame for `name` with status 0.
bool Accepted(const std::string& reply, const char* name) {
  return reply.size() >= 8 && reply.compare(5, 2, name) == 0 && reply[7] == 0;
}

class LinePc {
 public:
  LinePc(const SimProgram& sim, const std::string& terminal)
      : sim_(sim), fd_(OpenTerminal(sim, terminal, 9600)) {}
  ~LinePc() { close(fd_); }

  std::string Ask(const std::string& bytes, size_t count) {
    Send(fd_, bytes);
    return Receive(fd_, count, 5000);
  }

  // The base station found, its radio back in frame mode on the boot loader network, and the
  // Setup report of whichever module comes.
  std::string SetupReport() {
    EXPECT_EQ(Ask(kEsc6 + "<V", 18), kIdentification);
    Send(fd_, "<RP" + kStoredFrames);
    Quiet(1500ms);
    Receive(fd_, 512, 0);  // the radio's answers to the frames, if it still took frames
    EXPECT_EQ(Ask("+++", 3), "OK\r");
    EXPECT_EQ(Ask("ATAP2\rATCN\r", 6), "OK\rOK\r");
    Quiet(500ms);
    Send(fd_, kEsc6 + "<RS");
    return ReceiveUntil(
        fd_,
        [](const std::string& data) {
          return data.find("V\r", data.find("Battery")) != std::string::npos;
        },
        5000);
  }

  // Both radios configured from the report, the module sent into its boot loader, and the
  // page sent until it is accepted or refused five times; returns the page replies.
  std::string Update(const std::string& report, const std::string& page) {
    const std::string id = Value(report, kModuleLabel);
    const std::string field = id + std::string(6 - id.size(), '\0');
    const std::string serial = Value(report, kSerialLabel);
    const auto channel = static_cast<char>(std::atoi(Value(report, kChannelLabel).c_str()));
    const unsigned long pan = std::strtoul(Value(report, kPanLabel).c_str(), nullptr, 16);
    EXPECT_TRUE(Accepted(Ask("<@:S03CH" + std::string(1, channel), 9), "CH"));
    EXPECT_TRUE(Accepted(Ask("<@:S04ID" + BigEndian(pan, 2), 9), "ID"));
    EXPECT_EQ(Ask("<@:P" + field + "01I", id.size() + 1), id + "\r");
    const std::string sh = Ask("<@:ISH", 13), sl = Ask("<@:ISL", 13);
    EXPECT_TRUE(Accepted(Ask("<@:P" + field + "11#:C06DH" + sh.substr(8, 4), 9), "DH"));
    EXPECT_TRUE(Accepted(Ask("<@:P" + field + "11#:C06DL" + sl.substr(8, 4), 9), "DL"));
    const unsigned long high = std::strtoul(serial.substr(0, 8).c_str(), nullptr, 16);
    const unsigned long low = std::strtoul(serial.substr(9).c_str(), nullptr, 16);
    EXPECT_TRUE(Accepted(Ask("<@:S06DH" + BigEndian(high, 4), 9), "DH"));
    EXPECT_TRUE(Accepted(Ask("<@:S06DL" + BigEndian(low, 4), 9), "DL"));
    const size_t logged = sim_.Log().size();
    Send(fd_, "<@:P" + field + "03#:Z");
    EXPECT_TRUE(sim_.WaitForLog("boot loader: runs", logged));
    EXPECT_EQ(Ask("<RP" + kStoredFrames, 27).size(), 27u);
    EXPECT_EQ(Ask("\xC0", 1), "\xD0");
    EXPECT_EQ(Ask("#$%-QMM-2.11-644", 14), "QMM-2.11-644\r!");

    char sum = 0;
    for (char c : page) sum = static_cast<char>(sum + c);
    std::string replies;
    while (replies.size() < 5 && replies.find('!') == std::string::npos)
      replies += Ask(std::string(2, '\0') + page + sum, 1);
    if (replies.back() == '!') {
      Send(fd_, "\xFF\xFF");
      EXPECT_TRUE(sim_.WaitForLog("end mark", logged));
    }
    return replies;
  }

  // Six ESC bytes, "<RN" after a cancel, and "<W": the module within reach goes.
  void Release(bool cancelled) {
    Quiet(500ms);
    const size_t logged = sim_.Log().size();
    Send(fd_, kEsc6 + (cancelled ? "<RN" : "") + "<W");
    EXPECT_TRUE(sim_.WaitForLog("is taken away", logged));
  }

 private:
  const SimProgram& sim_;
  int fd_;
};

struct Turn {
  const char* id;
  const char* pan;
  const char* channel;
  const char* replies;  // to the page, "" when the PC turns the module down
};

struct Kept {
  const char* name;
  const char* complete;
  const char* pageFrames;
  bool withPage;
};

TEST(TessalinkSimProgram, PresentsAProductionLineAndKeepsEachModulesRecord) {
  TempDirectory dir;
  const std::filesystem::path images = dir.File("images");
  SimProgram sim(dir, {"--setup-after", "100", "--images", images.string(), "--exit-after-update",
                       "--module", "id=111111,serial=00A2B3C4-00000001", "--module",
                       "id=222222,serial=00A2B3C4-00000002,pan=2222,channel=20,faults=nak-page=0:2",
                       "--module", "id=333333,serial=00A2B3C4-00000003,faults=nak-page=0:5",
                       "--module", "id=111111,serial=00A2B3C4-00000004"});
  ASSERT_FALSE(sim.Terminal().empty());

  const Turn turns[] = {
      {"111111", "3332", "15", "!"},
      {"222222", "2222", "20", "@@!"},
      {"333333", "3332", "15", "@@@@@"},
      {"111111", "3332", "15", ""},  // already updated in this run
  };
  std::string page(256, '\0');
  for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<char>(i * 7);
  std::set<std::string> updated;
  for (const Turn& turn : turns) {
    SCOPED_TRACE(turn.id);
    LinePc pc(sim, sim.Terminal());
    const std::string report = pc.SetupReport();
    ASSERT_EQ(Value(report, kModuleLabel), turn.id);
    EXPECT_EQ(Value(report, kPanLabel), turn.pan);
    EXPECT_EQ(Value(report, kChannelLabel), turn.channel);
    const bool cancel = !updated.insert(turn.id).second;
    EXPECT_EQ(cancel ? "" : pc.Update(report, page), turn.replies);
    pc.Release(cancel);
  }
  EXPECT_EQ(sim.Reap(10s), 0) << "the line is empty and the port closed";

  const Kept kept[] = {
      {"module-1-111111", "yes", "1", true},
      {"module-2-222222", "yes", "3", true},
      {"module-3-333333", "no", "5", false},
      {"module-4-111111", "no", "0", false},
  };
  for (const Kept& k : kept) {
    SCOPED_TRACE(k.name);
    const std::string record = ReadFile((images / k.name).string() + ".txt");
    EXPECT_NE(record.find(std::string("\nupdate-complete: ") + k.complete + "\n"),
              std::string::npos)
        << record;
    EXPECT_NE(record.find(std::string("\npage-frames: ") + k.pageFrames + "\n"), std::string::npos);
    EXPECT_NE(record.find("\ntaken-away: yes\n"), std::string::npos);
    EXPECT_EQ(record.substr(record.rfind("\n<", record.size() - 2) + 1), "<W\n");
    EXPECT_EQ(ReadFile((images / k.name).string() + ".bin"), k.withPage ? page : "");
  }
  EXPECT_NE(ReadFile((images / "module-4-111111.txt").string()).find("\n<RS\n<RN\n<W\n"),
            std::string::npos);
  // Nothing but the two files of each module: no temporary file is left.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(images), {}), 8);
}

}  // namespace
