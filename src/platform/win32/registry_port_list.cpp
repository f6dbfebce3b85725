#include "registry_port_list.h"

#include <utility>

RegistryPortList::RegistryPortList(HKEY root, std::string subkey)
    : root_(root), subkey_(std::move(subkey)) {}

bool RegistryPortList::Enumerate(std::vector<SerialPortListValue>& values) {
  values.clear();
  HKEY key = nullptr;
  if (RegOpenKeyExA(root_, subkey_.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return false;
  }
  for (DWORD index = 0;; ++index) {
    char name[kNameCharacters];
    BYTE data[kDataBytes];
    DWORD nameLength = kNameCharacters;
    DWORD dataLength = kDataBytes;
    name[0] = '\0';
    data[0] = 0;
    if (RegEnumValueA(key, index, name, &nameLength, nullptr, nullptr, data, &dataLength) !=
        ERROR_SUCCESS) {
      break;
    }
    // The data is text, usually with its NUL; a value that fills the buffer exactly has none.
    std::size_t textLength = 0;
    while (textLength < dataLength && data[textLength] != 0) ++textLength;
    values.push_back({std::string(name, nameLength),
                      std::string(reinterpret_cast<const char*>(data), textLength)});
  }
  RegCloseKey(key);
  return true;
}
