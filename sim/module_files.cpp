#include "sim/module_files.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace sim {

namespace {

std::string BaseName(const Devices& devices, size_t module) {
  std::string id = devices.GetModuleParams(module).moduleId;
  for (char& c : id)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_')
      c = '_';
  return "module-" + std::to_string(module + 1) + "-" + id;
}

const char* YesNo(bool value) {
  return value ? "yes" : "no";
}

}  // namespace

std::string ModuleSummary(const Devices& devices, size_t module) {
  const ModuleParams& params = devices.GetModuleParams(module);
  char serial[20];
  std::snprintf(serial, sizeof serial, "%08X-%08X", params.serialHigh, params.serialLow);
  std::string text = "module: " + std::to_string(module + 1) + "\nid: " + params.moduleId +
                     "\nserial: " + serial + "\npan: " + Hex(params.panId, 4) +
                     "\nchannel: " + std::to_string(params.channel) +
                     "\nupdate-complete: " + YesNo(devices.UpdateComplete(module)) +
                     "\npages: " + std::to_string(devices.FirmwareImage(module).size() / 256) +
                     "\npage-frames: " + std::to_string(devices.PageFrames(module).size()) +
                     "\ntaken-away: " + YesNo(devices.TakenAway(module)) + "\ncommands:\n";
  for (const std::string& command : devices.CommandLog(module)) text += command + "\n";
  return text;
}

bool ModuleFiles::Update(const Devices& devices, std::string& error) {
  seen_.resize(devices.ModuleCount());
  for (size_t module = 0; module < seen_.size(); ++module) {
    const Seen now{devices.UpdateComplete(module), devices.TakenAway(module)};
    const bool write =
        (now.complete && !seen_[module].complete) || (now.takenAway && !seen_[module].takenAway);
    seen_[module] = now;
    if (!write)
      continue;
    const std::vector<uint8_t>& image = devices.FirmwareImage(module);
    const std::string name = BaseName(devices, module);
    // The image first: once the summary is there, the image beside it is whole.
    if (!Write(name + ".bin", std::string(image.begin(), image.end()), error) ||
        !Write(name + ".txt", ModuleSummary(devices, module), error))
      return false;
  }
  return true;
}

bool ModuleFiles::Write(const std::string& name, const std::string& content,
                        std::string& error) const {
  const std::filesystem::path path = std::filesystem::path(directory_) / name;
  const std::filesystem::path temporary = std::filesystem::path(directory_) / ("." + name + ".tmp");
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  out.close();
  std::error_code failure;
  if (out)
    std::filesystem::rename(temporary, path, failure);
  if (!out || failure) {
    std::filesystem::remove(temporary, failure);
    error = "cannot write " + path.string();
    return false;
  }
  return true;
}

}  // namespace sim
