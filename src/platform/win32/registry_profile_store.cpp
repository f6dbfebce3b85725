#include "registry_profile_store.h"

#include <utility>

RegistryProfileStore::RegistryProfileStore(std::string company, std::string application, HKEY root)
    : company_(std::move(company)), application_(std::move(application)), root_(root) {}

std::string RegistryProfileStore::SectionKey(const std::string& section) const {
  return "Software\\" + company_ + "\\" + application_ + "\\" + section;
}

int RegistryProfileStore::GetInt(const std::string& section, const std::string& entry,
                                 int defaultValue) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root_, SectionKey(section).c_str(), 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS) {
    return defaultValue;
  }
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  const LONG result =
      RegQueryValueExA(key, entry.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value)
    return defaultValue;
  return static_cast<int>(value);
}

bool RegistryProfileStore::WriteInt(const std::string& section, const std::string& entry,
                                    int value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(root_, SectionKey(section).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const DWORD data = static_cast<DWORD>(value);
  const LONG result = RegSetValueExA(key, entry.c_str(), 0, REG_DWORD,
                                     reinterpret_cast<const BYTE*>(&data), sizeof data);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}
