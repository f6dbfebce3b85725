#include <string>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "core/support_contact.h"
#include "update/update_procedure.h"
#include "update/update_texts.h"

namespace update {
namespace {
// What every failure report ends with: the module may be half written, retry, and whom to
// call.
std::string FailureReportTail() {
  return std::string("\n\n") + "Firmware update terminated.\n" + "\n" +
         "If some of the hex file was transferred, the firmware in the " +
         update_texts::kDeviceName + " may be corrupt.     \n" + "\n" +
         "You should retry the firmware update procedure.\n" + "\n" +
         "If you continue to have problems, contact Halvenmoor Systems for support.\n" +
         "     Office hours " + support::kOfficeHours + "\n" + "     " + support::kTelephone +
         "\n" + "     " + support::kEmail + "\n" + "     " + support::kWebHost + "\n" + "\n";
}
}  // namespace

std::string ReportUpdateFailure(DialogControls& controls, const std::string& reason) {
  const std::string text = reason + FailureReportTail();
  controls.SetText(ids::kResult, "");
  controls.SetText(ids::kResult, update_texts::kFailedStatus);
  controls.MessageBox(text, update_texts::kErrorTitle, mb::kIconExclamation);
  return text;
}

}  // namespace update
