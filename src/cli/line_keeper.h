#pragma once
#include <atomic>
#include <memory>
#include <vector>

#include "claim_gate.h"
#include "core/clock.h"
#include "history/history.h"
#include "station_tracker.h"
#include "threads.h"

// While stations run: on a thread of its own, each station's claim is renewed well within its
// lease, and, where the history is shared with others (a file or a server), each station's
// state is published about once a second for the dashboard, and at once when it changes.
// Stations that stop are published as stopped.
class LineKeeper {
 public:
  LineKeeper(history::History& history, bool publish, Clock& clock)
      : history_(history), publish_(publish), clock_(clock) {}
  ~LineKeeper() { Stop(); }

  void Add(ClaimGate& gate, StationTracker& tracker) { stations_.push_back({&gate, &tracker, {}}); }
  void Start();
  // Ends the thread; the stations are published as stopped.
  void Stop();

 private:
  struct Kept {
    ClaimGate* gate;
    StationTracker* tracker;
    history::StationState published;  // as last published
  };
  void Run();
  // Every station's state when `all`, else those that moved since they were last published.
  void Publish(bool all);

  history::History& history_;
  const bool publish_;
  Clock& clock_;
  std::vector<Kept> stations_;
  std::atomic<bool> stop_{false};
  std::unique_ptr<WorkerThread> thread_;
};
