#pragma once
#include "dev_serial_port_list.h"
#include "port_names.h"

// The names of the Linux devices behind the COM numbers.
class DevPortNames : public PortNames {
 public:
  // `devices` is the program's one numbering (not owned); `byIdDirectory` where udev keeps its
  // stable links.
  explicit DevPortNames(const ComPortDevices& devices,
                        std::string byIdDirectory = "/dev/serial/by-id")
      : devices_(devices), byIdDirectory_(std::move(byIdDirectory)) {}

  std::string Device(int port) const override { return devices_.DevicePath(port); }
  // A /dev/serial/by-id link that leads to the device (it names the adapter itself, whatever
  // number the kernel gave it today), else the device's path as given.
  std::string StableName(int port) const override;
  // "no permission: not in the group dialout" for a device this user may not open.
  std::string AccessProblem(int port) const override;

 private:
  const ComPortDevices& devices_;
  std::string byIdDirectory_;
};
