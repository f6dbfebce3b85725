#pragma once
#include <cstdint>
#include <string>

#include "core/clock.h"
#include "core/dialog_controls.h"
#include "core/modal_dialog.h"
#include "core/profile_store.h"
#include "serial/serial_backend.h"
#include "serial/serial_port.h"
#include "ui/companion_windows.h"
#include "ui/serial_port_list.h"

// The seams through which the main dialog reaches the world.
struct FirmwareUpdatePlatform {
  Clock& clock;
  SerialBackend& serial;
  ProfileStore& profile;
  SerialPortList& portList;
  CompanionWindows& companion;
  DialogHost& dialogs;
};

// How the last update attempt ended. The dialog itself shows every outcome to the user;
// this is kept for front ends that must report it otherwise (the console's exit code).
enum class UpdateOutcome {
  kNotRun,
  kSuccess,
  kFirmwareFileProblem,
  kPortOpenFailed,
  kNoBaseStation,
  kConfigurationFailed,
  kBootLoaderSilent,
  kTransferFailed,
  kCancelled,
};

// The main update dialog's behaviour. The window itself (resource 102) belongs to the host,
// which routes commands here and gives this class the dialog's controls.
class CFirmwareUpdateDlg {
 public:
  CFirmwareUpdateDlg(const FirmwareUpdatePlatform& platform, DialogControls& controls,
                     std::string applicationName);
  virtual ~CFirmwareUpdateDlg();
  CFirmwareUpdateDlg(const CFirmwareUpdateDlg&) = delete;
  CFirmwareUpdateDlg& operator=(const CFirmwareUpdateDlg&) = delete;

  void SetProgramDirectory(const std::string& directory) { m_programDirectory = directory; }
  const std::string& ProgramDirectory() const { return m_programDirectory; }

  // Window handlers. OnInitDialog does the title, the texts, the firmware status and the
  // ports; the host does the window's own parts (system menu, icon, placement, font).
  bool OnInitDialog();
  void OnOK() {}
  // Done, Escape and the window's Close.
  void OnCancel();
  // Begin Update (1006) and WM_USER+102.
  void OnBeginUpdate();
  void OnDestroy();
  // Routes the command IDs the dialog handles (1, 2, 1006, 1012). False when not ours.
  bool OnCommand(int id);

  // Helpers for the update procedures.
  void Delay(uint32_t milliseconds);
  void ClearResultLine();
  void BorrowPort(int port);
  void ReturnPort();

  // Serial port discovery and selection.
  void FindSerialPorts();
  void EnablePortButtons();
  void RefreshSerialPorts();

  // Firmware description, firmware file check and page image.
  void ReadFirmwareDescription();
  bool CheckFirmwareFile();
  bool BuildPageImage();
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

  std::string PageImagePath() const { return m_programDirectory + "Hex.tmp"; }
  std::string FirmwareFilePath() const { return m_programDirectory + m_firmwareFileName; }

 private:
  // RunUpdate's end on a failure of the base station set-up: port already closed.
  void EndUpdateWithFailure(const std::string& status, const std::string& box,
                            UpdateOutcome outcome, bool enablePortButtons);

  FirmwareUpdatePlatform m_platform;
  DialogControls& m_controls;
  std::string m_applicationName;

  CSerialPort m_serialPort;
  std::string m_programDirectory;
  std::string m_firmwareVersion;
  std::string m_firmwareFileName;
  int32_t m_portTable[21] = {};
  int32_t m_borrowedPort = -1;
  UpdateOutcome m_lastOutcome = UpdateOutcome::kNotRun;
};
