#pragma once
#include <string>
#include <vector>

// One value of the operating system's list of serial ports: its name and its data (the port
// name, e.g. "COM3"). On Windows these are the values of HKLM\Hardware\DeviceMap\SERIALCOMM.
// Discovery compares the data as text up to its first NUL, and stops at a value whose name
// does not fit 501 characters with its NUL or whose data does not fit 51 bytes: the buffers
// of the Windows enumeration, applied to every list alike.
struct SerialPortListValue {
  std::string name;
  std::string data;
};

class SerialPortList {
 public:
  virtual ~SerialPortList() = default;
  // False when the list cannot be read at all (the registry key is missing).
  virtual bool Enumerate(std::vector<SerialPortListValue>& values) = 0;
};
