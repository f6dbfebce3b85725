#pragma once
#include <string>

#include "core/profile_store.h"
#include "win32_api.h"

// The application profile in the registry: <root>\Software\<company>\<application>\<section>,
// each entry a REG_DWORD. A missing or unreadable entry reads as the default.
class RegistryProfileStore : public ProfileStore {
 public:
  RegistryProfileStore(std::string company, std::string application, HKEY root = HKEY_CURRENT_USER);

  int GetInt(const std::string& section, const std::string& entry, int defaultValue) override;
  bool WriteInt(const std::string& section, const std::string& entry, int value) override;

  // The subkey of the root that holds `section`.
  std::string SectionKey(const std::string& section) const;

 private:
  std::string company_;
  std::string application_;
  HKEY root_;
};
