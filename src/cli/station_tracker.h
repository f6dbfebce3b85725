#pragma once
#include <functional>
#include <string>

#include "history/history.h"
#include "module_record.h"
#include "threads.h"
#include "update/update_events.h"

// What a station is doing, from its update's events and its loop: for the line's live view and
// the station states the history shows on the dashboard. Written by the station's thread, read
// by the others.
class StationTracker : public UpdateObserver {
 public:
  StationTracker(std::string station, std::string host, std::string port);

  void OnUpdateEvent(const UpdateEvent& event) override;
  // The loop's own states: "retrying" after the station failed, "stopped" at its end.
  void SetState(const std::string& state);
  // A module's record: the last result and the counters.
  void Finished(const ModuleRecord& record);
  // Told (on the station's thread, outside the lock) whenever what a view shows changes.
  void OnChange(std::function<void()> changed) { changed_ = std::move(changed); }

  history::StationState Snapshot() const;

 private:
  // Applies `change` to the state under the lock, then tells the view.
  void Change(const std::function<void(history::StationState&)>& change);

  mutable Mutex lock_;
  history::StationState state_;
  std::function<void()> changed_;
};
