#pragma once
#include <map>
#include <string>
#include <utility>

#include "core/profile_store.h"

class MemoryProfile : public ProfileStore {
 public:
  int GetInt(const std::string& section, const std::string& entry, int defaultValue) override {
    auto it = values.find({section, entry});
    return it == values.end() ? defaultValue : it->second;
  }
  bool WriteInt(const std::string& section, const std::string& entry, int value) override {
    values[{section, entry}] = value;
    ++writes;
    return true;
  }
  std::map<std::pair<std::string, std::string>, int> values;
  int writes = 0;
};
