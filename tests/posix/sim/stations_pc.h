#pragma once
// The PCs' ends of a tessalink-sim with several stations, each on a terminal of its own.
#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "../common/sim_program.h"
#include "terminal_pc.h"

namespace posixtest {

// The first `count` lines the simulator printed: its terminals, station 1 first.
inline std::vector<std::string> StationTerminals(const TempDirectory& dir, size_t count) {
  std::vector<std::string> paths;
  WaitUntil(
      [&] {
        std::istringstream out(ReadFile(dir.File("sim.out")));
        paths.clear();
        for (std::string line; paths.size() < count && std::getline(out, line);)
          paths.push_back(line);
        return paths.size() == count;
      },
      std::chrono::seconds(10));
  return paths;
}

inline size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Station `station`'s terminal opened like a serial port, raw, 8N1 at 9600 baud; returns once
// the simulator has seen that station's port open.
inline int OpenStation(const SimProgram& sim, const std::string& path, int station) {
  const std::string opens =
      "station " + std::to_string(station) + ": serial line: PC opens the port at 9600 baud";
  const size_t before = Occurrences(sim.Log(), opens);
  const int fd = OpenRaw(path, 9600);
  if (fd < 0)
    return -1;
  EXPECT_TRUE(
      WaitUntil([&] { return Occurrences(sim.Log(), opens) > before; }, std::chrono::seconds(10)));
  return fd;
}

// A page frame: page number, 256 data bytes, their sum.
inline std::string PageFrame(int page) {
  std::string frame{static_cast<char>(page >> 8), static_cast<char>(page)};
  char sum = 0;
  for (int i = 0; i < 256; ++i) {
    frame += static_cast<char>(i * 3 + page);
    sum = static_cast<char>(sum + frame.back());
  }
  return frame + sum;
}

// The radio's frames that tune a base station's radio to the boot loader network (where
// Setup reports go out) and to the module's own network, PAN 3332 channel 15.
inline const std::string kToReportNetwork = "<@:S04ID\xD1\xD3<@:S03CH\x0E";
inline const std::string kToModuleNetwork = "<@:S04ID\x33\x32<@:S03CH\x0F";
// The two response frames each of them answers.
constexpr size_t kTuneReplies = 18;

}  // namespace posixtest
