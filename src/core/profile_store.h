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

// The one persisted setting: the COM number of the last successful update. The transfer
// writes it, port selection reads it.
namespace profile {
constexpr const char kSettingsSection[] = "Settings";
constexpr const char kComPortEntry[] = "ComPort";
}  // namespace profile
