#pragma once
#include <cstdint>
#include <functional>
#include <queue>
#include <string>
#include <vector>

namespace sim {

// Simulated time in microseconds since the devices were created. The devices act only
// through scheduled events, so the same run gives the same bytes at the same instants.
class Timeline {
 public:
  using Action = std::function<void()>;

  uint64_t Now() const { return now_; }
  // Runs `action` at `timeUs` (never earlier than now). Events due at the same instant run
  // in the order they were scheduled.
  void At(uint64_t timeUs, Action action);
  void After(uint64_t delayUs, Action action) { At(now_ + delayUs, std::move(action)); }
  // Runs every event due up to and including `timeUs`, then sets the clock to it.
  void RunUntil(uint64_t timeUs);
  bool HasPending() const { return !events_.empty(); }
  uint64_t NextEventTime() const { return events_.empty() ? UINT64_MAX : events_.top().time; }

 private:
  struct Event {
    uint64_t time;
    uint64_t sequence;
    Action action;
  };
  struct Later {
    bool operator()(const Event& a, const Event& b) const {
      return a.time != b.time ? a.time > b.time : a.sequence > b.sequence;
    }
  };
  std::priority_queue<Event, std::vector<Event>, Later> events_;
  uint64_t now_ = 0;
  uint64_t sequence_ = 0;
};

// What happened inside the devices, in words, with the simulated time.
class EventLog {
 public:
  struct Entry {
    uint64_t timeUs;
    std::string source;
    std::string text;
  };
  using Hook = std::function<void(const Entry&)>;

  explicit EventLog(const Timeline& timeline) : timeline_(timeline) {}
  // A part's log within a larger one: each entry is also added to `parent`, its source named
  // after `prefix` ("station 2: base station").
  EventLog(const Timeline& timeline, EventLog& parent, std::string prefix)
      : timeline_(timeline), parent_(&parent), prefix_(std::move(prefix)) {}
  void Add(const std::string& source, const std::string& text);
  const std::vector<Entry>& Entries() const { return entries_; }
  void SetHook(Hook hook) { hook_ = std::move(hook); }

 private:
  const Timeline& timeline_;
  EventLog* parent_ = nullptr;
  std::string prefix_;
  std::vector<Entry> entries_;
  Hook hook_;
};

// Bytes as readable text: printable ASCII as it is, everything else as \xHH.
std::string Printable(const uint8_t* data, size_t length);
std::string Printable(const std::vector<uint8_t>& bytes);
std::string Hex(uint32_t value, int digits);

constexpr uint64_t Ms(uint64_t milliseconds) {
  return milliseconds * 1000;
}

}  // namespace sim
