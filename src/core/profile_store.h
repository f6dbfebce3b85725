#pragma once
#include <string>

// The application profile: integers by section and entry. Registry under
// HKEY_CURRENT_USER\Software\<company>\<application> on Windows, a file on Linux.
class ProfileStore {
 public:
  virtual ~ProfileStore() = default;
  virtual int GetInt(const std::string& section, const std::string& entry, int defaultValue) = 0;
  virtual bool WriteInt(const std::string& section, const std::string& entry, int value) = 0;
};
