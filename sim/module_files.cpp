#include "sim/module_files.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace sim {

namespace {

std::string BaseName(const ModuleSlot& slot) {
  std::string id = slot.entry.params.moduleId;
  for (char& c : id)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_')
      c = '_';
  return "module-" + std::to_string(slot.number) + "-" + id;
}

const char* YesNo(bool value) {
  return value ? "yes" : "no";
}

std::string Stations(const std::vector<size_t>& stations) {
  std::string text;
  for (size_t station : stations) {
    if (!text.empty())
      text += ' ';
    text += std::to_string(station);
  }
  return text.empty() ? "none" : text;
}

// Which stations did what with the module, in a line of several.
std::string StationLines(const Line& line, size_t module) {
  const ModuleSlot& slot = line.Slot(module);
  std::string text;
  if (line.BoxOf(module) != 0)
    text += "station: " + std::to_string(line.BoxOf(module)) + "\n";
  const size_t updatedBy = line.UpdatedBy(module);
  return text + "heard-by: " + Stations(slot.heardBy) +
         "\nconfigured-by: " + Stations(slot.configuredBy) +
         "\nupdated-by: " + (updatedBy ? std::to_string(updatedBy) : "none") + "\n";
}

}  // namespace

std::string ModuleSummary(const Line& line, size_t module) {
  const ModuleSlot& slot = line.Slot(module);
  const ModuleParams& params = slot.entry.params;
  const BootLoader& loader = slot.module->Loader();
  char serial[20];
  std::snprintf(serial, sizeof serial, "%08X-%08X", params.serialHigh, params.serialLow);
  std::string text = "module: " + std::to_string(slot.number) + "\nid: " + params.moduleId +
                     "\nserial: " + serial + "\npan: " + Hex(params.panId, 4) +
                     "\nchannel: " + std::to_string(params.channel) +
                     "\nupdate-complete: " + YesNo(loader.Complete()) +
                     "\npages: " + std::to_string(loader.Image().size() / 256) +
                     "\npage-frames: " + std::to_string(loader.PageFrames().size()) +
                     "\ntaken-away: " + YesNo(slot.takenAway) + "\n";
  if (line.Several())
    text += StationLines(line, module);
  for (const auto& [station, commands] : line.ModuleCommands(module)) {
    text += line.OpenAirRoom() ? "commands station " + std::to_string(station) + ":\n"
                               : std::string("commands:\n");
    for (const std::string& command : commands) text += command + "\n";
  }
  return text;
}

bool ModuleFiles::Update(const Line& line, std::string& error) {
  seen_.resize(line.ModuleCount());
  for (size_t module = 0; module < seen_.size(); ++module) {
    const ModuleSlot& slot = line.Slot(module);
    const Seen now{slot.module->Loader().Complete(), slot.takenAway};
    const bool write =
        (now.complete && !seen_[module].complete) || (now.takenAway && !seen_[module].takenAway);
    seen_[module] = now;
    if (!write)
      continue;
    const std::vector<uint8_t>& image = slot.module->Loader().Image();
    const std::string name = BaseName(slot);
    // The image first: once the summary is there, the image beside it is whole.
    if (!Write(name + ".bin", std::string(image.begin(), image.end()), error) ||
        !Write(name + ".txt", ModuleSummary(line, module), error))
      return false;
  }
  return !line.Several() || UpdateStationLogs(line, error);
}

bool ModuleFiles::UpdateStationLogs(const Line& line, std::string& error) {
  commandsWritten_.resize(line.StationCount(), SIZE_MAX);
  for (size_t k = 0; k < line.StationCount(); ++k) {
    const std::vector<std::string>& commands = line.GetStation(k).Base().Commands();
    if (commands.size() == commandsWritten_[k])
      continue;
    std::string text;
    for (const std::string& command : commands) text += command + "\n";
    if (!Write("station-" + std::to_string(k + 1) + ".log", text, error))
      return false;
    commandsWritten_[k] = commands.size();
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
