#pragma once
#include <functional>

#include "core/clock.h"
#include "serial/serial_backend.h"

// A forced stop during an update (the second Ctrl-C). The update procedure has no way out of
// a transfer, so the link is cut under it: from then on nothing is read or written and no
// port opens, while Close still reaches the device. The procedure then fails through its
// own paths, which all close the port.
class CuttableSerial : public SerialBackend {
 public:
  CuttableSerial(SerialBackend& inner, std::function<bool()> isCut)
      : inner_(inner), isCut_(std::move(isCut)) {}

  bool Open(int port, const LineSettings& settings) override;
  void Close() override { inner_.Close(); }
  uint32_t BytesWaiting() override;
  uint32_t Read(uint8_t* buffer, uint32_t max) override;
  bool Write(const uint8_t* data, uint32_t length) override;
  bool PurgeInput() override;
  // Once cut, nothing comes: the waits end at once.
  std::string OpenFailure() const override {
    return isCut_() ? std::string() : inner_.OpenFailure();
  }
  void WaitForInput(uint32_t milliseconds) override;

 private:
  SerialBackend& inner_;
  std::function<bool()> isCut_;
};

// The clock of an update whose link has been cut: each reading of the tick counter is a
// second later than the one before and sleeps return at once, so the procedure's remaining
// pauses and time-outs (several seconds of them) pass immediately.
class HurryingClock : public Clock {
 public:
  HurryingClock(Clock& inner, std::function<bool()> isCut)
      : inner_(inner), isCut_(std::move(isCut)) {}

  uint32_t TickCount() override;
  void Sleep(uint32_t milliseconds) override;

 private:
  Clock& inner_;
  std::function<bool()> isCut_;
  uint32_t skew_ = 0;
};
