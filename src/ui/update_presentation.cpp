// How the update's reports look in the main dialog: its status lines by control ID, its
// message boxes, its port buttons, and the control-parameter dialog for the Setup report.
#include "core/control_ids.h"
#include "core/message_box.h"
#include "ui/firmware_update_dlg.h"
#include "ui/module_id_dlg.h"

namespace {
// The window is repainted at once on the first page and every eighth after it.
constexpr int kRepaintEveryPages = 8;
}  // namespace

void CFirmwareUpdateDlg::ShowFirmwareFile(const std::string& line, const UpdateMessage* problem) {
  if (problem != nullptr) {
    m_controls.MessageBox(problem->text, problem->title, problem->flags);
    m_controls.Enable(ids::kBeginUpdate, false);
  }
  m_controls.SetText(ids::kFirmwareFile, line);
}

void CFirmwareUpdateDlg::ShowPageImageProblem(const UpdateMessage& message) {
  m_controls.MessageBox(message.text, message.title, message.flags);
}

void CFirmwareUpdateDlg::ClearStatus() {
  m_controls.SetText(ids::kBootLoaderVersion, "");
  m_controls.SetText(ids::kProgress, "");
  m_controls.SetText(ids::kResult, "");
}

void CFirmwareUpdateDlg::ShowBaseStationFound(int port, uint32_t) {
  // The choice of port is frozen until the end.
  const int checked = ids::kFirstPortButton + port - 1;
  for (int id = ids::kFirstPortButton; id <= ids::kLastPortButton; ++id) {
    if (id != checked)
      m_controls.Enable(id, false);
  }
}

void CFirmwareUpdateDlg::ShowBootLoaderVersion(const std::string& line) {
  m_controls.SetText(ids::kBootLoaderVersion, line);
}

void CFirmwareUpdateDlg::ShowPageProgress(int page, int, const std::string& line) {
  m_controls.SetText(ids::kProgress, line);
  if ((page - 1) % kRepaintEveryPages == 0)
    m_controls.RepaintNow();
  m_controls.DispatchOneMessage();
}

void CFirmwareUpdateDlg::ShowSuccess(int port, const std::string& status,
                                     const UpdateMessage& message) {
  // The port of the last successful update, for the next start.
  m_platform.profile.WriteInt(profile::kSettingsSection, profile::kComPortEntry, port);
  m_controls.SetText(ids::kResult, "");
  m_controls.SetText(ids::kResult, status);
  m_controls.MessageBox(message.text, message.title, message.flags);
}

void CFirmwareUpdateDlg::ShowFailure(const UpdateFailure& failure) {
  if (failure.kind != UpdateFailure::Kind::kLink)
    m_controls.SetText(ids::kResult, "");
  if (failure.kind != UpdateFailure::Kind::kPageImage)
    m_controls.SetText(ids::kResult, failure.status);
  m_controls.MessageBox(failure.message.text, failure.message.title, failure.message.flags);
}

SetupAnswer CFirmwareUpdateDlg::AskForSetupReport(SetupReport& report) {
  CMobile_Module_ID_Dlg dialog(m_platform.clock, report);
  SetupAnswer answer;
  answer.start = m_platform.dialogs.RunModal(dialog) != mb::kIdCancel;
  return answer;
}
