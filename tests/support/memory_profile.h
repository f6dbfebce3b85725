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
  std::string GetString(const std::string& section, const std::string& entry,
                        const std::string& defaultValue) override {
    auto it = texts.find({section, entry});
    return it == texts.end() ? defaultValue : it->second;
  }
  bool WriteString(const std::string& section, const std::string& entry,
                   const std::string& value) override {
    texts[{section, entry}] = value;
    ++writes;
    return true;
  }
  std::map<std::pair<std::string, std::string>, int> values;
  std::map<std::pair<std::string, std::string>, std::string> texts;
  int writes = 0;
};
