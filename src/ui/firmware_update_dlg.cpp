#include "ui/firmware_update_dlg.h"

#include <cctype>
#include <cstring>
#include <utility>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "ui/main_dialog_texts.h"
#include "update/update_procedure.h"

CFirmwareUpdateDlg::CFirmwareUpdateDlg(const FirmwareUpdatePlatform& platform,
                                       DialogControls& controls, std::string applicationName)
    : m_platform(platform),
      m_controls(controls),
      m_applicationName(std::move(applicationName)),
      m_serialPort(platform.serial, platform.clock) {}

CFirmwareUpdateDlg::~CFirmwareUpdateDlg() = default;

bool CFirmwareUpdateDlg::OnInitDialog() {
  m_controls.SetWindowTitle(main_texts::kWindowTitle);
  m_controls.SetText(ids::kInstructions, main_texts::kInstructions);
  ReadFirmwareDescription();
  m_controls.SetText(ids::kFirmwareVersion,
                     std::string(main_texts::kFirmwareVersionPrefix) + m_firmwareVersion);
  m_controls.SetText(ids::kBootLoaderVersion, "");
  m_controls.SetText(ids::kProgress, "");
  m_controls.SetText(ids::kResult, "");
  RefreshSerialPorts();
  return true;
}

void CFirmwareUpdateDlg::OnCancel() {
  m_serialPort.Close();
  ReturnPort();
  m_controls.EndDialog(mb::kIdCancel);
}

void CFirmwareUpdateDlg::OnBeginUpdate() {
  // The transfer dispatches queued messages one at a time; a second start arriving that way
  // (WM_USER+102 from another program) must not run an update inside the running one.
  if (m_updating)
    return;
  m_updating = true;
  RunUpdate();
  DeletePageImage();
  m_updating = false;
}

void CFirmwareUpdateDlg::OnDestroy() {
  m_serialPort.Close();
}

bool CFirmwareUpdateDlg::OnCommand(int id) {
  switch (id) {
    case ids::kOk:
      OnOK();
      return true;
    case ids::kCancel:
      OnCancel();
      return true;
    case ids::kBeginUpdate:
      OnBeginUpdate();
      return true;
    case ids::kRefreshSerialPorts:
      RefreshSerialPorts();
      return true;
    default:
      return false;
  }
}

void CFirmwareUpdateDlg::Delay(uint32_t milliseconds) {
  BusyWait(m_platform.clock, milliseconds);
}

UpdateContext CFirmwareUpdateDlg::MakeUpdateContext() {
  return {m_serialPort, m_platform.clock, m_platform.dialogs, m_platform.profile, m_controls,
          *this,        *m_observer,      PageImagePath(),    m_updateOptions};
}

void CFirmwareUpdateDlg::RunUpdate() {
  UpdateContext context = MakeUpdateContext();
  m_lastOutcome = update::RunUpdate(context).outcome;
}

void CFirmwareUpdateDlg::TransferHexPages() {
  UpdateContext context = MakeUpdateContext();
  m_lastOutcome = update::TransferHexPages(context).outcome;
}

void CFirmwareUpdateDlg::ReportUpdateFailure(const std::string& reason) {
  update::ReportUpdateFailure(m_controls, reason);
}

namespace {
// The companion serial test program is known by the start of its window title, compared
// without regard to case. Titles are read into a 100-byte buffer, so 99 characters count.
bool IsCompanionWindow(const TopLevelWindow& window) {
  if (!window.visible)
    return false;
  const std::string title = window.title.substr(0, 99);
  if (title.empty())
    return false;
  const std::size_t length = std::strlen(main_texts::kCompanionTitlePrefix);
  if (title.size() < length)
    return false;
  for (std::size_t i = 0; i < length; ++i) {
    const auto a = static_cast<unsigned char>(title[i]);
    const auto b = static_cast<unsigned char>(main_texts::kCompanionTitlePrefix[i]);
    if (std::tolower(a) != std::tolower(b))
      return false;
  }
  return true;
}
}  // namespace

void CFirmwareUpdateDlg::BorrowPort(int port) {
  for (const TopLevelWindow& window : m_platform.companion.TopLevelWindows()) {
    if (!IsCompanionWindow(window))
      continue;
    m_platform.companion.PostMessage(window.handle, msg::kCompanion, msg::kCompanionRelease, port);
    m_borrowedPort = port;
  }
  // Give the companion program time to close the port.
  if (m_borrowedPort != -1)
    m_platform.clock.Sleep(1000);
}

void CFirmwareUpdateDlg::ReturnPort() {
  if (m_borrowedPort == -1)
    return;
  for (const TopLevelWindow& window : m_platform.companion.TopLevelWindows()) {
    if (!IsCompanionWindow(window))
      continue;
    m_platform.companion.PostMessage(window.handle, msg::kCompanion, msg::kCompanionTakeBack,
                                     m_borrowedPort);
  }
  m_borrowedPort = -1;
}
