#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/dialog_controls.h"
#include "core/modal_dialog.h"
#include "core/profile_store.h"
#include "serial/serial_backend.h"
#include "serial/serial_port.h"
#include "ui/companion_windows.h"
#include "ui/serial_port_list.h"
#include "update/update_context.h"
#include "update/update_events.h"
#include "update/update_outcome.h"

// The seams through which the main dialog reaches the world.
struct FirmwareUpdatePlatform {
  Clock& clock;
  SerialBackend& serial;
  ProfileStore& profile;
  SerialPortList& portList;
  CompanionWindows& companion;
  DialogHost& dialogs;
};

// The main update dialog's behaviour. The window itself (resource 102) belongs to the host,
// which routes commands here and gives this class the dialog's controls. The update itself
// is the update library's (update/); the dialog lends it the channel, its controls and the
// steps it owns (the firmware checks, the port buttons, the companion program).
class CFirmwareUpdateDlg : private UpdateHost {
 public:
  CFirmwareUpdateDlg(const FirmwareUpdatePlatform& platform, DialogControls& controls,
                     std::string applicationName);
  ~CFirmwareUpdateDlg() override;
  CFirmwareUpdateDlg(const CFirmwareUpdateDlg&) = delete;
  CFirmwareUpdateDlg& operator=(const CFirmwareUpdateDlg&) = delete;

  void SetProgramDirectory(const std::string& directory) { m_programDirectory = directory; }
  const std::string& ProgramDirectory() const { return m_programDirectory; }
  // Who hears the update's events (not owned); nobody by default.
  void SetUpdateObserver(UpdateObserver& observer) { m_observer = &observer; }
  // How the update runs; the dialog itself never changes the defaults.
  void SetUpdateOptions(const UpdateOptions& options) { m_updateOptions = options; }

  // Window handlers. OnInitDialog does the title, the texts, the firmware status and the
  // ports; the host does the window's own parts (system menu, icon, placement, font).
  bool OnInitDialog();
  void OnOK() {}
  // Done, Escape and the window's Close.
  void OnCancel();
  // Begin Update (1006) and WM_USER+102. A start request that arrives while an update runs
  // (the transfer dispatches queued messages) starts nothing.
  void OnBeginUpdate();
  void OnDestroy();
  // Routes the command IDs the dialog handles (1, 2, 1006, 1012). False when not ours.
  bool OnCommand(int id);

  // Helpers for the update procedures.
  void Delay(uint32_t milliseconds);
  void BorrowPort(int port) override;
  void ReturnPort() override;

  // Serial port discovery and selection.
  void FindSerialPorts();
  void EnablePortButtons() override;
  void RefreshSerialPorts();

  // Firmware description, firmware file check and page image. The checks show their own
  // problems and say what they showed.
  void ReadFirmwareDescription();
  FirmwareStep CheckFirmwareFile() override;
  FirmwareStep BuildPageImage() override;
  void DeletePageImage();

  // The update procedures.
  void RunUpdate();
  void TransferHexPages();
  void ReportUpdateFailure(const std::string& reason);

  CSerialPort& SerialPort() { return m_serialPort; }
  const std::string& FirmwareVersion() const { return m_firmwareVersion; }
  const std::string& FirmwareFileName() const { return m_firmwareFileName; }
  const int32_t* PortTable() const { return m_portTable; }
  int BorrowedPort() const { return m_borrowedPort; }
  UpdateOutcome LastOutcome() const { return m_lastOutcome; }
  const std::string& ApplicationName() const { return m_applicationName; }
  DialogControls& Controls() { return m_controls; }

  std::string PageImagePath() const;
  std::string FirmwareFilePath() const { return m_programDirectory + m_firmwareFileName; }

 private:
  UpdateContext MakeUpdateContext();

  FirmwareUpdatePlatform m_platform;
  DialogControls& m_controls;
  std::string m_applicationName;

  CSerialPort m_serialPort;
  std::string m_programDirectory;
  std::string m_firmwareVersion;
  std::string m_firmwareFileName;
  int32_t m_portTable[21] = {};
  int32_t m_borrowedPort = -1;

  NullUpdateObserver m_nullObserver;
  UpdateObserver* m_observer = &m_nullObserver;
  UpdateOptions m_updateOptions;
  // The page image the last build wrote, lent to the update's events.
  std::vector<uint8_t> m_pageImage;
  bool m_updating = false;
  UpdateOutcome m_lastOutcome = UpdateOutcome::kNotRun;
};
