#include "firmware_update_app.h"

#include "main_dialog_window.h"
#include "registry_port_list.h"
#include "registry_profile_store.h"
#include "ui/program_directory.h"
#include "win32_clock.h"
#include "win32_companion_windows.h"
#include "win32_dialog_controls.h"
#include "win32_dialog_host.h"
#include "win32_serial_backend.h"

std::string ApplicationNameFromModulePath(const std::string& modulePath) {
  const std::size_t slash = modulePath.find_last_of("\\/");
  std::string name = slash == std::string::npos ? modulePath : modulePath.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos)
    name.erase(dot);
  return name;
}

BOOL CFirmwareUpdateApp::InitInstance() {
  INITCOMMONCONTROLSEX controlsToLoad{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controlsToLoad);
  // The About box's contact block is a rich edit 2.0 control: without the library that
  // dialog cannot be created.
  LoadLibraryA("RICHED20.DLL");

  char modulePath[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, modulePath, MAX_PATH);
  const std::string applicationName = ApplicationNameFromModulePath(modulePath);
  const std::string programDirectory = ProgramDirectoryFromCommandLine(GetCommandLineA());

  Win32Clock clock;
  Win32SerialBackend serial;
  RegistryProfileStore profile(kRegistryKey, applicationName);
  RegistryPortList portList;
  Win32CompanionWindows companion;
  Win32DialogControls controls;
  Win32DialogHost dialogs(instance_, controls);
  const FirmwareUpdatePlatform platform{clock, serial, profile, portList, companion, dialogs};

  CFirmwareUpdateDlg dialog(platform, controls, applicationName);
  dialog.SetProgramDirectory(programDirectory);
  MainDialogWindow window(instance_, dialog, controls, dialogs);
  window.DoModal();
  return FALSE;
}
