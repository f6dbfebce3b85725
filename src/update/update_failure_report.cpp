#include <string>

#include "core/message_box.h"
#include "ui/control_ids.h"
#include "ui/firmware_update_dlg.h"
#include "ui/support_contact.h"
#include "update/update_texts.h"

namespace {
// What every failure report ends with: the module may be half written, retry, and whom to
// call.
std::string FailureReportTail() {
  return std::string("\n\n") + "Firmware update terminated.\n" + "\n" +
         "If some of the hex file was transferred, the firmware in the " +
         "Korvane Quorvanta Module" + " may be corrupt.     \n" + "\n" +
         "You should retry the firmware update procedure.\n" + "\n" +
         "If you continue to have problems, contact Halvenmoor Systems for support.\n" +
         "     Office hours " + support::kOfficeHours + "\n" + "     " + support::kTelephone +
         "\n" + "     " + support::kEmail + "\n" + "     " + support::kWebHost + "\n" + "\n";
}
}  // namespace

void CFirmwareUpdateDlg::ReportUpdateFailure(const std::string& reason) {
  m_controls.SetText(ids::kResult, "");
  m_controls.SetText(ids::kResult, update_texts::kFailedStatus);
  m_controls.MessageBox(reason + FailureReportTail(), update_texts::kErrorTitle,
                        mb::kIconExclamation);
}
