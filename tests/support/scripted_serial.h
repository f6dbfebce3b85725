#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "serial/serial_backend.h"
#include "virtual_clock.h"

// A serial device whose incoming bytes arrive at scripted times on the virtual clock, and
// which records everything written to it.
class ScriptedSerial : public SerialBackend {
 public:
  explicit ScriptedSerial(VirtualClock& clock) : clock_(clock) {}

  // `bytes` arrive `afterMs` after now, spaced `gapMs` apart.
  void Arrive(const std::string& bytes, uint32_t afterMs = 0, uint32_t gapMs = 0);

  bool Open(int port, const LineSettings& settings) override;
  void Close() override {
    ++closes;
    isOpen = false;
  }
  uint32_t BytesWaiting() override;
  uint32_t Read(uint8_t* buffer, uint32_t max) override;
  bool Write(const uint8_t* data, uint32_t length) override;
  bool PurgeInput() override;

  std::vector<int> openablePorts{3};
  bool isOpen = false;
  int opens = 0;
  int openAttempts = 0;
  int closes = 0;
  int purges = 0;
  int writeCalls = 0;
  LineSettings lastSettings;
  std::string written;

 private:
  struct Pending {
    uint32_t at;
    uint8_t byte;
  };
  void Deliver();
  VirtualClock& clock_;
  std::deque<Pending> pending_;
  std::deque<uint8_t> queue_;
};
