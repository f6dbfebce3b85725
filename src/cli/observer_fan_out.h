#pragma once
#include <vector>

#include "update/update_events.h"

// Hands each event to several observers, in the order they were added.
class ObserverFanOut : public UpdateObserver {
 public:
  void Add(UpdateObserver& observer) { observers_.push_back(&observer); }
  void OnUpdateEvent(const UpdateEvent& event) override {
    for (UpdateObserver* observer : observers_) observer->OnUpdateEvent(event);
  }

 private:
  std::vector<UpdateObserver*> observers_;
};
