#include "port_argument.h"

#include <filesystem>
#include <system_error>

#include "com_port_name.h"

namespace {
constexpr int kPortCount = 21;

std::string Canonical(const std::string& path) {
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::canonical(path, error);
  return error ? std::string() : resolved.string();
}
}  // namespace

int ResolvePortArgument(const std::string& text, ComPortDevices& devices, std::string& error) {
  bool isComName = false;
  const int comNumber = ParseComName(text, isComName);
  if (isComName) {
    if (comNumber == 0)
      error = "--port " + text + ": COM numbers run from 1 to 21";
    return comNumber;
  }

  const std::string device = Canonical(text);
  if (device.empty()) {
    error = "--port " + text + ": no such device";
    return 0;
  }
  for (int port = 1; port <= kPortCount; ++port) {
    const std::string known = devices.DevicePath(port);
    if (!known.empty() && Canonical(known) == device)
      return port;
  }
  std::error_code ignored;
  for (int port = kPortCount; port >= 1; --port) {
    if (devices.overrides.count(port) != 0)
      continue;
    if (std::filesystem::exists(devices.DevicePath(port), ignored))
      continue;
    devices.overrides[port] = text;
    return port;
  }
  error = "--port " + text + ": every COM number is taken by a device of its own";
  return 0;
}
