#include "firmware/firmware_files.h"

#include <chrono>
#include <filesystem>
#include <system_error>

namespace {
bool IsDirectory(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(std::filesystem::path(path), error);
}
}  // namespace

FileHandle OpenFileForReading(const std::string& path) {
  if (path.empty() || IsDirectory(path))
    return nullptr;
  return OpenFile(path, "rb");
}

FileHandle OpenFile(const std::string& path, const char* mode) {
  return FileHandle(std::fopen(path.c_str(), mode));
}

bool ReadTextLines(const std::string& path, std::size_t maxLines, std::vector<std::string>& lines) {
  lines.clear();
  const FileHandle file = OpenFileForReading(path);
  if (!file)
    return false;
  std::string line;
  bool pending = false;
  int c;
  while (lines.size() < maxLines && (c = std::fgetc(file.get())) != EOF) {
    pending = true;
    if (c != '\n') {
      line.push_back(static_cast<char>(c));
      continue;
    }
    // Text mode turns CR LF into LF; a CR anywhere else stays in the line.
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    lines.push_back(line);
    line.clear();
    pending = false;
  }
  if (pending && lines.size() < maxLines)
    lines.push_back(line);
  return true;
}

bool LocalModificationTime(const std::string& path, std::tm& local) {
  std::error_code error;
  const auto written = std::filesystem::last_write_time(std::filesystem::path(path), error);
  if (error)
    return false;
  const auto system = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
      std::chrono::file_clock::to_sys(written));
  const std::time_t seconds = std::chrono::system_clock::to_time_t(system);
  const std::tm* converted = std::localtime(&seconds);
  if (converted == nullptr)
    return false;
  local = *converted;
  return true;
}

std::string FormatFirmwareDateSuffix(const std::tm& local) {
  char date[64];
  std::snprintf(date, sizeof date, "     (%d-%d-%d, ", local.tm_mon + 1, local.tm_mday,
                local.tm_year + 1900);
  int hour = local.tm_hour;
  const char* marker = "AM";
  if (hour == 12) {
    marker = "PM";
  } else if (hour > 12) {
    hour -= 12;
    marker = "PM";
  }
  char time[64];
  std::snprintf(time, sizeof time, "%2d:%2d:%2d %s)", hour, local.tm_min, local.tm_sec, marker);
  // Tens digits of minutes and seconds; the hour keeps its blank.
  if (time[3] == ' ')
    time[3] = '0';
  if (time[6] == ' ')
    time[6] = '0';
  return std::string(date) + time;
}

void RemoveFileIfPresent(const std::string& path) {
  std::error_code error;
  if (std::filesystem::exists(std::filesystem::path(path), error)) {
    std::remove(path.c_str());
  }
}
