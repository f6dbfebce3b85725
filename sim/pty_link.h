#pragma once
#include <poll.h>

#include <cstdint>
#include <string>
#include <vector>

#include "serial/serial_backend.h"
#include "sim/devices.h"

namespace sim {

// Reads the line settings that the program on the terminal side applied, from the master side
// (the kernel shares them). Exact for every rate, 14400 included. False when unreadable.
bool ReadPtyLineSettings(int masterFd, LineSettings& settings);

// The simulated base station's end of a pseudo-terminal. The PC opens the terminal side like
// a serial port; opening and closing it (once per baud rate tried) and changing its settings
// reach the devices as the PC opening and closing its port.
class PtyLink {
 public:
  PtyLink() = default;
  ~PtyLink();
  PtyLink(const PtyLink&) = delete;
  PtyLink& operator=(const PtyLink&) = delete;

  bool Open(std::string& error);
  const std::string& TerminalPath() const { return terminalPath_; }
  // A symbolic link to the terminal, removed again by RemoveLink or the destructor.
  bool MakeLink(const std::string& path, std::string& error);
  void RemoveLink();

  // What to wait for on the terminal, for poll(): fd -1 while nobody has it open (its hang-up
  // would end every wait at once; Exchange looks again) or while it has vanished.
  pollfd PollEntry() const;
  // After the wait: moves bytes both ways at tick `now`; `revents` is what poll() said of
  // PollEntry().
  void Exchange(Station& station, uint32_t now, short revents);
  bool PcOpen() const { return pcOpen_; }

  // The port vanishes (port-gone): the PC's side is closed for `station`, the terminal and the
  // link are gone. Reopen makes a new terminal (its path may differ) and links it again.
  void Vanish(Station& station, uint32_t now);
  bool Reopen(std::string& error);
  bool Vanished() const { return master_ < 0; }

 private:
  void Closed(Station& station, uint32_t now);

  int master_ = -1;
  std::string terminalPath_;
  std::string link_;
  bool pcOpen_ = false;
  bool hungUp_ = true;  // nobody on the terminal side, as at the start
  LineSettings settings_;
  std::vector<uint8_t> toPc_;
};

}  // namespace sim
