#pragma once
#include <string>
#include <vector>

#include "serial/serial_port_list.h"
#include "win32_api.h"

// The serial ports Windows lists: the values of HKLM\Hardware\DeviceMap\SERIALCOMM.
class RegistryPortList : public SerialPortList {
 public:
  static constexpr DWORD kNameCharacters = 501;
  static constexpr DWORD kDataBytes = 51;

  explicit RegistryPortList(HKEY root = HKEY_LOCAL_MACHINE,
                            std::string subkey = "Hardware\\DeviceMap\\SERIALCOMM");

  // Enumerates by index until the first failure: the end of the values, or a value whose
  // name or data does not fit its buffer, after which nothing more is looked at.
  bool Enumerate(std::vector<SerialPortListValue>& values) override;

 private:
  HKEY root_;
  std::string subkey_;
};
