#pragma once
#include <functional>
#include <string>

#include "open_failure.h"
#include "opening_watch.h"
#include "serial/serial_backend.h"

// A serial port through termios: exclusive, raw 8N1 (or as asked), no flow control, DTR and
// RTS asserted while open, non-blocking reads, writes that block until the driver has taken
// every byte. COM numbers are mapped to device paths by the function given.
class TermiosSerial : public SerialBackend {
 public:
  explicit TermiosSerial(std::function<std::string(int comNumber)> devicePath);
  ~TermiosSerial() override;

  bool Open(int port, const LineSettings& settings) override;
  void Close() override;
  uint32_t BytesWaiting() override;
  uint32_t Read(uint8_t* buffer, uint32_t max) override;
  bool Write(const uint8_t* data, uint32_t length) override;
  bool PurgeInput() override;
  // Sleeps in poll() until a byte comes, the device goes, or the time has passed.
  void WaitForInput(uint32_t milliseconds) override;

  std::string OpenFailure() const override { return openFailure_; }

  // The device path of the open port (empty while closed).
  const std::string& Path() const { return path_; }

 private:
  // Once the device has gone (adapter pulled, peer closed) every call reports nothing done.
  void MarkGone();
  // An Open that failed at `step`: says why, closes what was opened, returns false.
  bool Refuse(int fd, const std::string& path, int port, OpenStep step, int error);

  std::function<std::string(int)> devicePath_;
  std::string path_;
  int fd_ = -1;
  bool gone_ = false;
  std::string openFailure_;
  OpeningWatch openings_;  // whether other programs need looking for at the next opening
};

// Applies a baud rate that has no B constant (14400) with the termios2 interface.
bool SetCustomBaudRate(int fd, unsigned baud);
