#pragma once
#include <string>

#include "core/dialog_controls.h"
#include "update/update_context.h"
#include "update/update_outcome.h"

// The update procedures. Each shows every outcome to the user itself and returns it.
namespace update {

// The wireless update: the firmware checks, the base station search, the module set up for
// its boot loader, the transfer, and the base station restored.
UpdateResult RunUpdate(UpdateContext& context);

// The paged transfer over the relay RunUpdate has set up; uses the port as it finds it.
UpdateResult TransferHexPages(UpdateContext& context);

// Control 1011 set to the failure status, then the box with the reason and the report's tail
// (the module may be corrupt, retry, support contacts). Returns the box's text.
std::string ReportUpdateFailure(DialogControls& controls, const std::string& reason);

}  // namespace update
