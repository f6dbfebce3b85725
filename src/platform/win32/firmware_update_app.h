#pragma once
#include <string>

#include "core/support_contact.h"
#include "win32_api.h"

// The base name of the program file without its extension: the application's name, used as
// the caption of boxes without their own and as the profile's name in the registry.
std::string ApplicationNameFromModulePath(const std::string& modulePath);

// The application: prepares the control libraries and the profile location, finds the program
// directory and runs the main update dialog; when that dialog closes, the program ends.
class CFirmwareUpdateApp {
 public:
  static constexpr const char* kRegistryKey = support::kCompany;

  explicit CFirmwareUpdateApp(HINSTANCE instance) : instance_(instance) {}
  // Always FALSE: there is no message loop of the application's own.
  BOOL InitInstance();

 private:
  HINSTANCE instance_;
};
