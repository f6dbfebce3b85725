#include "ui/firmware_update_dlg.h"

#include <cctype>
#include <cstring>
#include <utility>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "firmware/firmware_messages.h"
#include "firmware/firmware_texts.h"
#include "ui/main_dialog_texts.h"

namespace {
// The wait cursor for as long as the dialog's handler runs an update.
class WaitCursor {
 public:
  explicit WaitCursor(DialogControls& controls) : controls_(controls) {
    controls_.BeginWaitCursor();
  }
  ~WaitCursor() { controls_.EndWaitCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  DialogControls& controls_;
};
}  // namespace

CFirmwareUpdateDlg::CFirmwareUpdateDlg(const FirmwareUpdatePlatform& platform,
                                       DialogControls& controls, std::string applicationName)
    : m_platform(platform),
      m_controls(controls),
      m_applicationName(std::move(applicationName)),
      m_companionSerial(platform.serial, [this](int port) { BorrowPort(port); }),
      m_serialPort(m_companionSerial, platform.clock),
      m_pageImage(::PageImagePath("")) {}

CFirmwareUpdateDlg::~CFirmwareUpdateDlg() = default;

void CFirmwareUpdateDlg::SetProgramDirectory(const std::string& directory) {
  m_firmware.SetDirectory(directory);
  m_pageImage.SetPath(::PageImagePath(directory));
}

bool CFirmwareUpdateDlg::OnInitDialog() {
  m_controls.SetWindowTitle(main_texts::kWindowTitle);
  m_controls.SetText(ids::kInstructions, main_texts::kInstructions);
  ReadFirmwareDescription();
  m_controls.SetText(ids::kFirmwareVersion,
                     firmware_messages::FirmwareVersionLine(m_firmware.Version()));
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

LinkContext CFirmwareUpdateDlg::MakeLinkContext() {
  return {m_serialPort, m_platform.clock, *m_observer, UpdateOptions{}};
}

update::UpdateJob CFirmwareUpdateDlg::MakeJob() {
  // The checked port button; none checked gives a number no port has.
  const int checked = m_controls.GetCheckedRadioButton(ids::kFirstPortButton, ids::kLastPortButton);
  return {m_firmware, m_pageImage, checked - ids::kFirstPortButton + 1};
}

void CFirmwareUpdateDlg::RunUpdate() {
  WaitCursor busy(m_controls);
  LinkContext link = MakeLinkContext();
  m_lastResult = update::RunUpdate(link, *this, MakeJob());
  AfterUpdate(m_lastResult.stage);
}

void CFirmwareUpdateDlg::TransferHexPages() {
  WaitCursor busy(m_controls);
  LinkContext link = MakeLinkContext();
  m_lastResult = update::TransferHexPages(link, *this, MakeJob());
}

void CFirmwareUpdateDlg::AfterUpdate(UpdateStage stage) {
  switch (stage) {
    case UpdateStage::kFirmware:
      return;
    case UpdateStage::kPortOpen:
      // The port buttons were never frozen.
      ReturnPort();
      return;
    case UpdateStage::kBaseStation:
    case UpdateStage::kModule:
      ReturnPort();
      EnablePortButtons();
      return;
    case UpdateStage::kTransfer:
      EnablePortButtons();
      ReturnPort();
      return;
  }
}

void CFirmwareUpdateDlg::ReadFirmwareDescription() {
  const bool read = m_firmware.ReadDescription();
  if (!read) {
    m_controls.MessageBox(firmware_messages::DescriptionOpenFailed(m_firmware.DescriptionPath()),
                          firmware_texts::kCheckCaption, mb::kOk | mb::kIconExclamation);
  }
  m_controls.SetText(ids::kUsageLine, firmware_texts::kUsageLine);
  // Empty means that no update is possible.
  const std::string firmwarePath = read ? m_firmware.HexFilePath() : std::string();
  if (firmwarePath.empty() || !CheckFirmwareFile()) {
    m_firmware.Forget();
    m_controls.Enable(ids::kBeginUpdate, false);
  }
}

bool CFirmwareUpdateDlg::CheckFirmwareFile() {
  std::string problem;
  return update::CheckFirmwareFile(*this, m_firmware, problem);
}

bool CFirmwareUpdateDlg::BuildPageImage() {
  return update::BuildPageImage(*this, m_firmware, m_pageImage).Built();
}

void CFirmwareUpdateDlg::DeletePageImage() {
  m_pageImage.Discard();
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
