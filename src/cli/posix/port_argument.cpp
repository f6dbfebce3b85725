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

  // A device that is not there still gets its number: opening it then says why it failed.
  // Text that names neither a COM port nor a path is a mistake on the command line.
  const std::string device = Canonical(text);
  if (device.empty() && text.find('/') == std::string::npos) {
    error = "--port " + text + ": give COM1 to COM21, or the device's path";
    return 0;
  }
  for (int port = 1; port <= kPortCount && !device.empty(); ++port) {
    const std::string known = devices.DevicePath(port);
    if (!known.empty() && Canonical(known) == device)
      return port;
  }
  // The same device given again (or through another link) keeps the number it got.
  for (const auto& [port, path] : devices.overrides) {
    if (path == text || (!device.empty() && Canonical(path) == device))
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

int RememberedPort(const std::string& remembered, ComPortDevices& devices, std::string& note) {
  std::error_code error;
  if (remembered.empty())
    return 0;
  if (!std::filesystem::exists(remembered, error)) {
    note = "The port of the last successful update, " + remembered +
           ", is not there now: using the lowest port found instead.";
    return 0;
  }
  std::string ignored;
  return ResolvePortArgument(remembered, devices, ignored);
}
