#include <string>

#include "core/device_names.h"
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
         "If some of the hex file was transferred, the firmware in the " + device_names::kModule +
         " may be corrupt.     \n" + "\n" + "You should retry the firmware update procedure.\n" +
         "\n" + "If you continue to have problems, contact " + support::kCompany +
         " for support.\n" + "     Office hours " + support::kOfficeHours + "\n" + "     " +
         support::kTelephone + "\n" + "     " + support::kEmail + "\n" + "     " +
         support::kWebHost + "\n" + "\n";
}
}  // namespace

std::string ReportUpdateFailure(UpdatePresenter& presenter, const std::string& reason) {
  const std::string text = reason + FailureReportTail();
  presenter.ShowFailure({UpdateFailure::Kind::kTransfer,
                         update_texts::kFailedStatus,
                         {text, update_texts::kErrorTitle, mb::kIconExclamation}});
  return text;
}

}  // namespace update
