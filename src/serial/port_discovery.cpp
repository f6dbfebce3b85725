#include "serial/port_discovery.h"

#include <cctype>
#include <string>
#include <vector>

namespace {
// The enumeration's buffers: value names of up to 500 characters plus their NUL, data of up
// to 51 bytes. A value that does not fit ends the enumeration.
constexpr std::size_t kValueNameBuffer = 501;
constexpr std::size_t kValueDataBuffer = 51;

// The data as a C string, compared without regard to letter case.
bool EqualsIgnoringCase(const std::string& data, const std::string& name) {
  const std::string text(data.c_str());
  if (text.size() != name.size())
    return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(name[i]))) {
      return false;
    }
  }
  return true;
}
}  // namespace

ComPorts FindComPorts(SerialPortList& list) {
  ComPorts ports;
  std::vector<SerialPortListValue> values;
  if (!list.Enumerate(values))
    return ports;
  ports.listed = true;
  for (const SerialPortListValue& value : values) {
    if (value.name.size() + 1 > kValueNameBuffer || value.data.size() > kValueDataBuffer)
      break;
    for (int port = 1; port <= kComPortCount; ++port) {
      if (EqualsIgnoringCase(value.data, "COM" + std::to_string(port))) {
        ports.exists[port - 1] = true;
        break;
      }
    }
  }
  return ports;
}

int ChooseComPort(const ComPorts& ports, int saved) {
  if (ports.Exists(saved))
    return saved;
  for (int port = 1; port <= kComPortCount; ++port) {
    if (ports.Exists(port))
      return port;
  }
  return 0;
}
