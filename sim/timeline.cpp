#include "sim/timeline.h"

#include <cstdio>

namespace sim {

void Timeline::At(uint64_t timeUs, Action action) {
  events_.push(Event{timeUs < now_ ? now_ : timeUs, sequence_++, std::move(action)});
}

void Timeline::RunUntil(uint64_t timeUs) {
  while (!events_.empty() && events_.top().time <= timeUs) {
    // Copy out before popping: the action may schedule further events.
    Event event = events_.top();
    events_.pop();
    now_ = event.time;
    event.action();
  }
  if (timeUs > now_)
    now_ = timeUs;
}

void EventLog::Add(const std::string& source, const std::string& text) {
  entries_.push_back(Entry{timeline_.Now(), source, text});
  if (hook_)
    hook_(entries_.back());
  if (parent_)
    parent_->Add(prefix_ + source, text);
}

std::string Printable(const uint8_t* data, size_t length) {
  std::string text;
  for (size_t i = 0; i < length; ++i) {
    const uint8_t byte = data[i];
    if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
      text += static_cast<char>(byte);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      text += escaped;
    }
  }
  return text;
}

std::string Printable(const std::vector<uint8_t>& bytes) {
  return Printable(bytes.data(), bytes.size());
}

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

}  // namespace sim
