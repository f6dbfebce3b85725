#pragma once
#include <string>

#include "firmware/firmware_bundle.h"
#include "firmware/page_image_store.h"
#include "update/link_context.h"
#include "update/update_outcome.h"
#include "update/update_presenter.h"

// The update procedures. Each tells the presenter everything it shows and returns how it
// ended. What the host keeps around them (its wait cursor, its port buttons, a port borrowed
// from another program, the page image deleted afterwards) is the host's own.
namespace update {

// What one run sends and where: the firmware, where its page image is kept until the transfer
// reads it, and the COM number of the base station's port.
struct UpdateJob {
  const FirmwareBundle& firmware;
  PageImageStore& pageImage;
  int port = 0;
};

// The wireless update: the firmware checks, the base station search, the module set up for
// its boot loader, the transfer, and the base station restored.
UpdateResult RunUpdate(LinkContext& link, UpdatePresenter& presenter, const UpdateJob& job);

// The paged transfer over the relay RunUpdate has set up; uses the port as it finds it.
UpdateResult TransferHexPages(LinkContext& link, UpdatePresenter& presenter, const UpdateJob& job);

// The failure report: the result line says the update failed, and the box gives the reason and
// the report's tail (the module may be corrupt, retry, support contacts). Returns the box's text.
std::string ReportUpdateFailure(UpdatePresenter& presenter, const std::string& reason);

// The firmware file check, shown; false (and `problem`, the text shown) when the HEX file
// cannot be opened.
bool CheckFirmwareFile(UpdatePresenter& presenter, const FirmwareBundle& firmware,
                       std::string& problem);

// The page image built from the firmware and kept in `store`; a problem is shown.
PageImageBuild BuildPageImage(UpdatePresenter& presenter, const FirmwareBundle& firmware,
                              PageImageStore& store);

}  // namespace update
