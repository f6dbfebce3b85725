#pragma once
#include <cstdint>
#include <string>

#include "core/clock.h"
#include "core/dialog_controls.h"
#include "core/modal_dialog.h"
#include "core/profile_store.h"
#include "firmware/firmware_bundle.h"
#include "firmware/page_image_store.h"
#include "serial/serial_backend.h"
#include "serial/serial_port.h"
#include "serial/serial_port_list.h"
#include "ui/companion_port.h"
#include "ui/companion_windows.h"
#include "update/link_context.h"
#include "update/update_events.h"
#include "update/update_outcome.h"
#include "update/update_presenter.h"
#include "update/update_procedure.h"

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
// which routes commands here and gives this class the dialog's controls. The update is the
// update library's (update/): the dialog lends it the channel and the firmware, and presents
// what it reports on its status lines and in message boxes (update_presentation.cpp). Around
// each run it keeps its own things: the wait cursor, the port buttons, a port borrowed from the
// companion program, and the page image "Hex.tmp" in the program directory.
class CFirmwareUpdateDlg : private UpdatePresenter {
 public:
  CFirmwareUpdateDlg(const FirmwareUpdatePlatform& platform, DialogControls& controls,
                     std::string applicationName);
  ~CFirmwareUpdateDlg() override;
  CFirmwareUpdateDlg(const CFirmwareUpdateDlg&) = delete;
  CFirmwareUpdateDlg& operator=(const CFirmwareUpdateDlg&) = delete;

  void SetProgramDirectory(const std::string& directory);
  // Who hears the update's events (not owned); nobody by default.
  void SetUpdateObserver(UpdateObserver& observer) { m_observer = &observer; }

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
  void BorrowPort(int port);
  void ReturnPort();

  // Serial port discovery and selection.
  void FindSerialPorts();
  void EnablePortButtons();
  void RefreshSerialPorts();

  // Firmware description, firmware file check and page image; each shows its own problems.
  void ReadFirmwareDescription();
  bool CheckFirmwareFile();
  bool BuildPageImage();
  void DeletePageImage();

  // The update procedures.
  void RunUpdate();
  void TransferHexPages();

  CSerialPort& SerialPort() { return m_serialPort; }
  const std::string& FirmwareVersion() const { return m_firmware.Version(); }
  const std::string& FirmwareFileName() const { return m_firmware.HexFileName(); }
  const int32_t* PortTable() const { return m_portTable; }
  int BorrowedPort() const { return m_borrowedPort; }
  const UpdateResult& LastResult() const { return m_lastResult; }
  UpdateOutcome LastOutcome() const { return m_lastResult.outcome; }

  std::string PageImagePath() const { return m_pageImage.Path(); }
  std::string FirmwareFilePath() const { return m_firmware.HexFilePath(); }

 private:
  // How the update's reports look in this dialog (update_presentation.cpp).
  void ShowFirmwareFile(const std::string& line, const UpdateMessage* problem) override;
  void ShowPageImageProblem(const UpdateMessage& message) override;
  void ClearStatus() override;
  void ShowBaseStationFound(int port, uint32_t baud) override;
  void ShowBootLoaderVersion(const std::string& line) override;
  void ShowPageProgress(int page, int pages, const std::string& line) override;
  void ShowSuccess(int port, const std::string& status, const UpdateMessage& message) override;
  void ShowFailure(const UpdateFailure& failure) override;
  SetupAnswer AskForSetupReport(SetupReport& report) override;

  LinkContext MakeLinkContext();
  update::UpdateJob MakeJob();
  // The port buttons back and a borrowed port given back, as far as the run got.
  void AfterUpdate(UpdateStage stage);

  FirmwareUpdatePlatform m_platform;
  DialogControls& m_controls;
  std::string m_applicationName;

  CompanionPortSerial m_companionSerial;
  CSerialPort m_serialPort;
  FirmwareBundle m_firmware;
  PageImageFile m_pageImage;
  int32_t m_portTable[21] = {};
  int32_t m_borrowedPort = -1;

  NullUpdateObserver m_nullObserver;
  UpdateObserver* m_observer = &m_nullObserver;
  bool m_updating = false;
  UpdateResult m_lastResult;
};
