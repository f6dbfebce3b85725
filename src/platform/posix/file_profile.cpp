#include "file_profile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

namespace {
std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos)
    return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool IsSection(const std::string& line, std::string* name) {
  const std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[' || t.back() != ']')
    return false;
  *name = t.substr(1, t.size() - 2);
  return true;
}
}  // namespace

FileProfile::FileProfile(std::string path) : path_(std::move(path)) {}

std::string FileProfile::DefaultPath(const std::string& company, const std::string& application) {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  std::string base = xdg && *xdg     ? std::string(xdg)
                     : home && *home ? std::string(home).append("/.config")
                                     : std::string(".");
  for (const std::string* part : {&company, &application}) base.append("/").append(*part);
  return base.append("/profile.ini");
}

int FileProfile::GetInt(const std::string& section, const std::string& entry, int defaultValue) {
  std::istringstream value(GetString(section, entry, ""));
  int parsed;
  return value >> parsed ? parsed : defaultValue;
}

std::string FileProfile::GetString(const std::string& section, const std::string& entry,
                                   const std::string& defaultValue) {
  std::string current;
  for (const std::string& line : ReadLines(path_)) {
    std::string name;
    if (IsSection(line, &name)) {
      current = name;
      continue;
    }
    const auto eq = line.find('=');
    if (current != section || eq == std::string::npos || Trim(line.substr(0, eq)) != entry) {
      continue;
    }
    return Trim(line.substr(eq + 1));
  }
  return defaultValue;
}

bool FileProfile::WriteInt(const std::string& section, const std::string& entry, int value) {
  return WriteString(section, entry, std::to_string(value));
}

bool FileProfile::WriteString(const std::string& section, const std::string& entry,
                              const std::string& value) {
  std::vector<std::string> lines = ReadLines(path_);
  const std::string assignment = entry + "=" + value;
  // The section's lines are (begin, end); a missing section is appended.
  std::size_t begin = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string name;
    if (IsSection(lines[i], &name) && name == section) {
      begin = i;
      break;
    }
  }
  if (begin == lines.size()) {
    lines.push_back("[" + section + "]");
    lines.push_back(assignment);
  } else {
    std::size_t end = begin + 1;
    std::string name;
    while (end < lines.size() && !IsSection(lines[end], &name)) ++end;
    std::size_t found = end;
    for (std::size_t i = begin + 1; i < end; ++i) {
      const auto eq = lines[i].find('=');
      if (eq != std::string::npos && Trim(lines[i].substr(0, eq)) == entry)
        found = i;
    }
    if (found < end) {
      lines[found] = assignment;
    } else {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(end), assignment);
    }
  }
  // Written beside the profile and renamed over it, so a crash never leaves half a file.
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), error);
  const std::string temporary = path_ + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    for (const auto& line : lines) out << line << '\n';
    if (!out.flush())
      return false;
  }
  std::filesystem::rename(temporary, path_, error);
  return !error;
}
