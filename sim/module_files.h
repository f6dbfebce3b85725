#pragma once
#include <string>
#include <vector>

#include "sim/line.h"

namespace sim {

// What tessalink-sim keeps of each module in a directory: module-N-ID.bin, the image it
// received, and module-N-ID.txt, what it went through (N is its place among all the modules
// given, from 1; characters of the ID other than letters, digits, '-' and '_' become '_'). Both
// are written once its end mark has come and again once it is taken away. With several
// stations, station-K.log holds every command base station K recognised, one a line, written
// again whenever it grows. Each file is written whole through a temporary file and a rename, so
// a reader never sees half a file.
class ModuleFiles {
 public:
  explicit ModuleFiles(std::string directory) : directory_(std::move(directory)) {}
  // Writes the files of every module whose end mark has come or that has been taken away since
  // the last call, and the stations' command logs that grew. False with a message when a file
  // cannot be written.
  bool Update(const Line& line, std::string& error);

 private:
  struct Seen {
    bool complete = false;
    bool takenAway = false;
  };
  bool UpdateStationLogs(const Line& line, std::string& error);
  bool Write(const std::string& name, const std::string& content, std::string& error) const;

  std::string directory_;
  std::vector<Seen> seen_;
  std::vector<size_t> commandsWritten_;  // per station
};

// module-N-ID.txt: "key: value" lines (module, id, serial, pan, channel, update-complete,
// pages, page-frames, taken-away; with several stations also station (its test box; not in
// open air), heard-by, configured-by, updated-by), then "commands:" and the base station's
// commands while the module was within reach, one a line. In open air there is a
// "commands station K:" part for each station that configured or updated it instead.
std::string ModuleSummary(const Line& line, size_t module);

}  // namespace sim
