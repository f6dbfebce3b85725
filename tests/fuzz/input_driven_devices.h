#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "serial/serial_backend.h"
#include "update_exchanges.h"
#include "virtual_clock.h"

// The fuzz input read as a stream of decisions. Once it runs out every decision is the
// default one.
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Empty() const { return used_ == size_; }
  uint8_t Take(uint8_t whenEmpty = 0) { return used_ < size_ ? data_[used_++] : whenEmpty; }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t used_ = 0;
};

struct DeviceSetup {
  uint32_t baud = 9600;            // the base station's rate
  bool bootLoaderRunning = false;  // a module left in its boot loader by an earlier attempt
  bool portBusy = false;           // every open fails until the companion program lets go
  std::string moduleId = "123456";
};

// The base station, its radio, the module and the module's boot loader as one serial device
// on the virtual clock. Every write of the PC takes one decision from the input: answer as the
// devices should (at once, later, or byte by byte), stay silent, answer with raw bytes from
// the input, spoil the proper answer (one byte changed, cut short, garbage after it), or drop
// the link for good. An exhausted input answers everything properly, so that short inputs
// reach deep into the update.
class InputDrivenDevices : public SerialBackend {
 public:
  InputDrivenDevices(VirtualClock& clock, FuzzInput& input, const DeviceSetup& setup);

  bool Open(int port, const LineSettings& settings) override;
  void Close() override;
  uint32_t BytesWaiting() override;
  uint32_t Read(uint8_t* buffer, uint32_t max) override;
  bool Write(const uint8_t* data, uint32_t length) override;
  bool PurgeInput() override;

  // Nothing is on its way to the PC or waiting for it: until the PC writes again, nothing
  // can arrive.
  bool Quiet() const { return inFlight_.empty() && queue_.empty(); }

  // The companion program has released the port.
  void Release() { setup_.portBusy = false; }

  // What the PC did, whether or not the devices could hear it.
  std::string attempted;
  std::vector<HeardRequest> requests;
  bool isOpen = false;
  bool dropped = false;
  int opens = 0;

 private:
  std::string ProperAnswer(const HeardRequest& request, bool alternative);
  void Send(const std::string& bytes, uint32_t delayMs, uint32_t gapMs);
  uint64_t Now() const;
  void Deliver();
  void Forget();

  VirtualClock& clock_;
  FuzzInput& input_;
  DeviceSetup setup_;
  uint32_t origin_;
  uint32_t lineBaud_ = 0;
  bool bootLoader_;
  UpdateExchanges exchanges_;
  std::multimap<uint64_t, uint8_t> inFlight_;
  std::deque<uint8_t> queue_;
};
