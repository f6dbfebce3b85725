#pragma once
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

  // Waits up to `waitUs` microseconds for the PC, then moves bytes both ways at tick `now()`.
  template <typename Now>
  void Step(Station& devices, Now now, int waitUs) {
    const bool hangUp = Wait(waitUs);
    Exchange(devices, now(), hangUp);
  }
  bool PcOpen() const { return pcOpen_; }

 private:
  bool Wait(int waitUs);
  void Exchange(Station& devices, uint32_t now, bool hangUp);

  int master_ = -1;
  std::string terminalPath_;
  std::string link_;
  bool pcOpen_ = false;
  bool readable_ = false;
  LineSettings settings_;
  std::vector<uint8_t> toPc_;
};

}  // namespace sim
