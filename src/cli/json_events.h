#pragma once
#include <nlohmann/json_fwd.hpp>
#include <ostream>
#include <string>

#include "threads.h"
#include "update/update_events.h"

// --json: every event of the update, and the console's own (a module's record, the end of the
// run), as one JSON object per line on `out`, flushed at once so that a reader follows the
// run live. Every line has "schema", "type", "time" (UTC) and "attempt"; the update's events
// also their "tick" and their own fields (docs/console-events.md).
class JsonEventStream : public UpdateObserver {
 public:
  explicit JsonEventStream(std::ostream& out) : out_(out) {}

  void OnUpdateEvent(const UpdateEvent& event) override;
  // A line of the console's own, `fields` added after the common ones.
  void Write(const char* type, const nlohmann::ordered_json& fields);
  // The update procedure the next events belong to, from 1.
  void SetAttempt(int attempt) { attempt_ = attempt; }
  // The stations of a line share one output: each line names its station, and a line is
  // written whole under `lock` (not owned).
  void ShareWith(std::string station, Mutex* lock) {
    station_ = std::move(station);
    lock_ = lock;
  }

 private:
  std::ostream& out_;
  int attempt_ = 0;
  std::string station_;
  Mutex* lock_ = nullptr;
};

// The update's event as the fields of its line (without the common ones).
nlohmann::ordered_json EventFields(const UpdateEvent& event);
