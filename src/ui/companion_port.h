#pragma once
#include <functional>

#include "serial/serial_backend.h"

// The dialog's channel to the port: a port that will not open may be held by the maker's
// serial test program, so it is asked to let go (`borrow`) and the port opened once more.
class CompanionPortSerial : public SerialBackend {
 public:
  CompanionPortSerial(SerialBackend& inner, std::function<void(int port)> borrow)
      : inner_(inner), borrow_(std::move(borrow)) {}

  bool Open(int port, const LineSettings& settings) override {
    if (inner_.Open(port, settings))
      return true;
    borrow_(port);
    return inner_.Open(port, settings);
  }
  void Close() override { inner_.Close(); }
  uint32_t BytesWaiting() override { return inner_.BytesWaiting(); }
  uint32_t Read(uint8_t* buffer, uint32_t max) override { return inner_.Read(buffer, max); }
  bool Write(const uint8_t* data, uint32_t length) override { return inner_.Write(data, length); }
  bool PurgeInput() override { return inner_.PurgeInput(); }
  std::string OpenFailure() const override { return inner_.OpenFailure(); }
  void WaitForInput(uint32_t milliseconds) override { inner_.WaitForInput(milliseconds); }

 private:
  SerialBackend& inner_;
  std::function<void(int)> borrow_;
};
