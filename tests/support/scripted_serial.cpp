#include "scripted_serial.h"

#include <algorithm>

void ScriptedSerial::Arrive(const std::string& bytes, uint32_t afterMs, uint32_t gapMs) {
  uint32_t at = clock_.Now() + afterMs;
  for (char c : bytes) {
    pending_.push_back({at, static_cast<uint8_t>(c)});
    at += gapMs;
  }
}

void ScriptedSerial::Deliver() {
  while (!pending_.empty() && static_cast<int32_t>(clock_.Now() - pending_.front().at) >= 0) {
    queue_.push_back(pending_.front().byte);
    pending_.pop_front();
  }
}

bool ScriptedSerial::Open(int port, const LineSettings& settings) {
  ++openAttempts;
  if (std::find(openablePorts.begin(), openablePorts.end(), port) == openablePorts.end()) {
    return false;
  }
  ++opens;
  isOpen = true;
  lastSettings = settings;
  return true;
}

uint32_t ScriptedSerial::BytesWaiting() {
  Deliver();
  return static_cast<uint32_t>(queue_.size());
}

uint32_t ScriptedSerial::Read(uint8_t* buffer, uint32_t max) {
  Deliver();
  uint32_t n = 0;
  while (n < max && !queue_.empty()) {
    buffer[n++] = queue_.front();
    queue_.pop_front();
  }
  return n;
}

bool ScriptedSerial::Write(const uint8_t* data, uint32_t length) {
  ++writeCalls;
  written.append(reinterpret_cast<const char*>(data), length);
  return true;
}

bool ScriptedSerial::PurgeInput() {
  Deliver();
  ++purges;
  queue_.clear();
  return true;
}
