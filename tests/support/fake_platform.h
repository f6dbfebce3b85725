#pragma once
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "serial/serial_port_list.h"
#include "ui/companion_windows.h"

class ScriptedPortList : public SerialPortList {
 public:
  bool Enumerate(std::vector<SerialPortListValue>& out) override {
    ++enumerations;
    if (!readable)
      return false;
    out = values;
    return true;
  }
  void SetPorts(const std::vector<std::string>& names) {
    values.clear();
    int n = 0;
    for (const auto& name : names)
      values.push_back({"\\Device\\Serial" + std::to_string(n++), name});
  }
  bool readable = true;
  std::vector<SerialPortListValue> values;
  int enumerations = 0;
};

struct PostedMessage {
  uintptr_t handle;
  unsigned message;
  uintptr_t wParam;
  intptr_t lParam;
  bool operator==(const PostedMessage& o) const {
    return std::tie(handle, message, wParam, lParam) ==
           std::tie(o.handle, o.message, o.wParam, o.lParam);
  }
};

class RecordingCompanionWindows : public CompanionWindows {
 public:
  std::vector<TopLevelWindow> TopLevelWindows() override { return windows; }
  void PostMessage(uintptr_t handle, unsigned message, uintptr_t wParam, intptr_t lParam) override {
    posted.push_back({handle, message, wParam, lParam});
    if (onPost)
      onPost(posted.back());
  }
  std::vector<TopLevelWindow> windows;
  std::vector<PostedMessage> posted;
  std::function<void(const PostedMessage&)> onPost;
};
