#pragma once
#include <string>
#include <vector>

#include "console_output.h"
#include "core/clock.h"
#include "line_totals.h"
#include "station_tracker.h"
#include "threads.h"

// The line at a glance on the terminal: a line per station (its port, what it does, its
// module, its last result) and the line's totals, redrawn in place. When the output is no
// terminal, a plain line whenever a station's state changes. Told of changes by the stations'
// threads.
class LineView {
 public:
  LineView(ConsoleOutput& output, const LineTotals& totals, Clock& clock)
      : output_(output), totals_(totals), clock_(clock) {}

  // A station, shown under `name`; the tracker must outlive the view.
  void Add(const StationTracker& tracker, std::string name);
  // Something changed: redrawn, at most ten times a second on a terminal.
  void Changed();
  // Draws a change that Changed held back; called every tenth of a second or so.
  void CatchUp();
  // The view as it stands now, whatever was drawn last.
  void Draw();
  // What became of a station's module: a line of its own, above the view on a terminal.
  void ModuleEnded(const StationTracker& tracker, const ModuleRecord& record);

 private:
  struct Shown {
    const StationTracker* tracker;
    std::string name;
    std::string said;  // what the plain output last said of it
  };
  void DrawLocked();

  ConsoleOutput& output_;
  const LineTotals& totals_;
  Clock& clock_;
  Mutex lock_;
  std::vector<Shown> stations_;
  uint32_t lastDraw_ = 0;
  bool drawn_ = false;
  bool heldBack_ = false;  // a change came too soon after the last drawing
};

// "transferring page 5 of 13": a station's state in words.
std::string StateWords(const history::StationState& state);
