#pragma once
#include <string>

#include "core/profile_store.h"

// The application profile as a small INI file:
// $XDG_CONFIG_HOME (or ~/.config) / <company> / <application> / profile.ini
class FileProfile : public ProfileStore {
 public:
  explicit FileProfile(std::string path);
  static std::string DefaultPath(const std::string& company, const std::string& application);

  int GetInt(const std::string& section, const std::string& entry, int defaultValue) override;
  bool WriteInt(const std::string& section, const std::string& entry, int value) override;
  std::string GetString(const std::string& section, const std::string& entry,
                        const std::string& defaultValue) override;
  bool WriteString(const std::string& section, const std::string& entry,
                   const std::string& value) override;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};
