#pragma once
#include <string>
#include <vector>

#include "sim/devices.h"

namespace sim {

// What tessalink-sim keeps of each module in a directory: module-N-ID.bin, the image it
// received, and module-N-ID.txt, what it went through (N counts from 1; characters of the ID
// other than letters, digits, '-' and '_' become '_'). Both are written once its end mark has
// come and again once it is taken away, each whole through a temporary file and a rename, so a
// reader never sees half a file.
class ModuleFiles {
 public:
  explicit ModuleFiles(std::string directory) : directory_(std::move(directory)) {}
  // Writes the files of every module whose end mark has come or that has been taken away since
  // the last call. False with a message when a file cannot be written.
  bool Update(const Devices& devices, std::string& error);

 private:
  struct Seen {
    bool complete = false;
    bool takenAway = false;
  };
  bool Write(const std::string& name, const std::string& content, std::string& error) const;

  std::string directory_;
  std::vector<Seen> seen_;
};

// module-N-ID.txt: "key: value" lines (module, id, serial, pan, channel, update-complete,
// pages, page-frames, taken-away), then "commands:" and the base station's commands while the
// module was within reach, one a line.
std::string ModuleSummary(const Devices& devices, size_t module);

}  // namespace sim
