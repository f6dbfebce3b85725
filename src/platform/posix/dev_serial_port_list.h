#pragma once
#include <map>
#include <string>
#include <vector>

#include "serial/serial_port_list.h"

// COM numbering of the Linux serial devices. The numbers are fixed by device name, so a saved
// port number keeps naming the same device whatever else is plugged in:
//   COM1  to COM8   /dev/ttyS0   to /dev/ttyS7    (on-board and PCI UARTs)
//   COM9  to COM16  /dev/ttyUSB0 to /dev/ttyUSB7  (USB serial adapters)
//   COM17 to COM21  /dev/ttyACM0 to /dev/ttyACM4  (USB modem-class devices)
// A port may also be given any device path (a pseudo-terminal, a udev link), which replaces
// the fixed device of that number.
struct ComPortDevices {
  std::string devDirectory = "/dev";
  // Where the kernel describes its ttys; a ttyS whose "type" reads 0 has no UART behind it.
  std::string sysClassTty = "/sys/class/tty";
  // COM number to device path.
  std::map<int, std::string> overrides;

  // The device of COM<port>, or empty for a number outside 1 to 21.
  std::string DevicePath(int port) const;
};

// The serial port list of a Linux system: one value per COM number whose device exists, named
// after the device, with the data "COM<n>". Unreadable only when the device directory is.
class DevSerialPortList : public SerialPortList {
 public:
  explicit DevSerialPortList(ComPortDevices devices = {}) : devices_(std::move(devices)) {}
  bool Enumerate(std::vector<SerialPortListValue>& values) override;

 private:
  ComPortDevices devices_;
};
