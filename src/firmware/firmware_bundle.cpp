#include "firmware/firmware_bundle.h"

bool FirmwareBundle::ReadDescription() {
  description_ = ReadFirmwareDescriptionFile(DescriptionPath());
  return description_.read;
}
