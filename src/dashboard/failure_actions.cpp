#include "failure_actions.h"

#include <iterator>

namespace dashboard {

namespace {
// A recorded message holds the guide's text (a port number, blanks or the module ID may
// follow it). The more specific texts come first.
const FailureAction kActions[] = {
    {"Unable to open the firmware description file:",
     "Close the program. Unpack the whole firmware release (section 1: program, description "
     "file, HEX file) on the PC and start the program there."},
    {"Unable to open the firmware hex file:", "Put it back, then close and restart the program."},
    {"Unable to create the temporary firmware file.",
     "Copy the update folder to a place where you may write, for example the desktop, and "
     "start the program there."},
    {"Unable to open the firmware file.",
     "Close that program (an editor, a virus scanner still checking the file) and try again."},
    {"Invalid firmware hex file.",
     "Copy the update folder again from the original delivery. If the message stays, contact "
     "support. The console program's `kqm-update check --firmware-dir DIR` names the line and "
     "what is wrong with it (section 8)."},
    {"The firmware hex file is too large for the module's boot loader",
     "Check that you have the right delivery for the Korvane Quorvanta Mobile Module; contact "
     "support."},
    {"Unable to open serial port",
     "Close the other program. Plug the adapter in again and press Refresh Serial Ports. "
     "Pick the port and try again."},
    {"Cannot find a Korvane Tessalink.",
     "Check power and cable. Check the port (section 2). Try again."},
    {"Unable to communicate with and/or configure the Korvane Quorvanta Module for the firmware "
     "update.",
     "Check the ID against the module you want to update. Put the module into Setup mode again, "
     "press its Setup button, and press Start Update as soon as the four values appear. "
     "Keep other modules out of Setup mode meanwhile."},
    {"No response from the Korvane Quorvanta Module boot loader.",
     "Bring the module close and try again. If the module is waiting in its boot loader, the "
     "program finds it at once (section 5)."},
    {"No response from the Korvane Quorvanta Module.",
     "Bring the module close and try again (section 5)."},
    {"Invalid version response from the Korvane Quorvanta Module.",
     "Try once more. If it repeats, check that the delivery is the right one for this module, "
     "and contact support."},
    {"No ready response from the Korvane Quorvanta Module.", "Try again (section 5)."},
    {"Invalid ready response from the Korvane Quorvanta Module.",
     "Bring the module closer, away from other radio sources, and try again (section 5)."},
    {"Unable to open the temporary firmware file.",
     "Close that program, or ask for the folder to be excluded from scanning. Then continue as "
     "in section 5."},
};
}  // namespace

const FailureAction* ActionFor(const std::string& message) {
  for (const FailureAction& entry : kActions) {
    if (message.find(entry.message) != std::string::npos)
      return &entry;
  }
  return nullptr;
}

const FailureAction* FailureActions(std::size_t& count) {
  count = std::size(kActions);
  return kActions;
}

}  // namespace dashboard
