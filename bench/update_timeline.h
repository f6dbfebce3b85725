#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A whole update on virtual time against the simulated base station and module, with the
// wire time emulated, and where its time goes. The host here costs no time at all: the clock
// moves only while the program waits (spins in a pause, or polls for a byte), so every
// millisecond is either a wait the program makes on purpose or one the devices impose.

struct TimelineSettings {
  uint32_t baud = 9600;            // the base station's rate; the search starts at 9600
  uint32_t pageTurnaroundMs = 20;  // boot loader: good page frame to "!"
  int pages = 255;
  bool bootLoaderRunning = false;      // skip the Setup dialog, as after an interrupted update
  uint32_t setupButtonAfterMs = 1000;  // the user presses Setup this long after "<RS"
};

// One pause of the program's own (a busy wait with no serial traffic), between two events
// on the serial line.
struct TimelinePause {
  uint32_t ms = 0;
  std::string after;   // what happened on the line just before
  std::string before;  // what the program does when the pause is over
};

struct UpdateTimeline {
  bool success = false;
  uint32_t totalMs = 0;     // Begin Update to the end of the procedure
  uint32_t transferMs = 0;  // version request written to end mark written
  uint32_t pausesMs = 0;    // the program's own pauses and guard times
  uint32_t timeoutsMs = 0;  // waits for answers that do not come by design
  uint32_t answersMs = 0;   // waits for device answers outside the transfer
  uint32_t dialogMs = 0;    // control-parameter dialog: the user and the Setup report
  uint32_t otherMs = 0;     // the rest (the clock's own step between events)
  int portOpenings = 0;     // the baud rate search opens the port once per rate tried
  uint32_t searchMs = 0;    // Begin Update to the opening at the base station's rate
  std::vector<TimelinePause> pauses;
};

UpdateTimeline RunUpdateOnVirtualTime(const TimelineSettings& settings);
