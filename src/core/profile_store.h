#pragma once
#include <string>

// The application profile: integers by section and entry. Registry under
// HKEY_CURRENT_USER\Software\<company>\<application> on Windows, a file on Linux.
class ProfileStore {
 public:
  virtual ~ProfileStore() = default;
  virtual int GetInt(const std::string& section, const std::string& entry, int defaultValue) = 0;
  virtual bool WriteInt(const std::string& section, const std::string& entry, int value) = 0;
  // Texts, for hosts that remember more than the dialog's one integer. A store that keeps only
  // integers (the dialog program's registry profile) reads every text as `defaultValue` and
  // refuses to write one.
  virtual std::string GetString(const std::string& /*section*/, const std::string& /*entry*/,
                                const std::string& defaultValue) {
    return defaultValue;
  }
  virtual bool WriteString(const std::string& /*section*/, const std::string& /*entry*/,
                           const std::string& /*value*/) {
    return false;
  }
};

// The one persisted setting: the COM number of the last successful update. The transfer
// writes it, port selection reads it.
namespace profile {
constexpr const char kSettingsSection[] = "Settings";
constexpr const char kComPortEntry[] = "ComPort";
// The console on Linux: the device of the last successful update, by a name that stays.
constexpr const char kComPortDeviceEntry[] = "ComPortDevice";
}  // namespace profile
