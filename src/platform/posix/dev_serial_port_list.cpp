#include "dev_serial_port_list.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace {
struct DeviceRange {
  int firstPort;
  int count;
  const char* prefix;
};
constexpr DeviceRange kRanges[] = {{1, 8, "ttyS"}, {9, 8, "ttyUSB"}, {17, 5, "ttyACM"}};

// The 8250 driver registers placeholder ttyS devices for UARTs that are not there; their
// type is 0 (unknown port).
bool IsPlaceholderUart(const std::string& sysClassTty, const std::string& name) {
  if (name.rfind("ttyS", 0) != 0)
    return false;
  std::ifstream type(sysClassTty + "/" + name + "/type");
  int value = -1;
  return type >> value && value == 0;
}
}  // namespace

std::string ComPortDevices::DevicePath(int port) const {
  if (auto it = overrides.find(port); it != overrides.end())
    return it->second;
  for (const DeviceRange& range : kRanges) {
    if (port >= range.firstPort && port < range.firstPort + range.count) {
      return devDirectory + "/" + range.prefix + std::to_string(port - range.firstPort);
    }
  }
  return {};
}

bool DevSerialPortList::Enumerate(std::vector<SerialPortListValue>& values) {
  values.clear();
  std::error_code error;
  if (!std::filesystem::is_directory(devices_.devDirectory, error))
    return false;
  for (int port = 1; port <= 21; ++port) {
    const std::string path = devices_.DevicePath(port);
    if (path.empty() || !std::filesystem::exists(path, error))
      continue;
    const bool overridden = devices_.overrides.count(port) != 0;
    if (!overridden &&
        IsPlaceholderUart(devices_.sysClassTty, std::filesystem::path(path).filename())) {
      continue;
    }
    values.push_back({path, "COM" + std::to_string(port)});
  }
  return true;
}
