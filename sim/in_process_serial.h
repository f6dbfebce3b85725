#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "serial/serial_backend.h"
#include "sim/devices.h"

namespace sim {

// The serial seam connected straight to simulated devices: CSerialPort over this talks to the
// base station on the caller's clock. The clock is only read, never advanced, so a virtual
// clock that moves while the code polls drives the devices too.
class InProcessSerial : public SerialBackend {
 public:
  struct Counters {
    int opens = 0;         // successful
    int refusedOpens = 0;  // wrong port number, or port busy
    int closes = 0;
    int dtrDrops = 0;
    int rtsDrops = 0;
    int purges = 0;
    int writes = 0;
  };
  struct TraceEntry {
    enum class Kind { kOpen, kOpenRefused, kClose, kWrite, kRead, kPurge };
    Kind kind;
    uint32_t timeMs;
    int port;                    // kOpen, kOpenRefused
    LineSettings settings;       // kOpen, kOpenRefused
    std::vector<uint8_t> bytes;  // kWrite, kRead
  };
  using Trace = std::function<void(const TraceEntry&)>;

  InProcessSerial(Devices& devices, std::function<uint32_t()> nowMs, int portNumber = 3);

  bool Open(int port, const LineSettings& settings) override;
  void Close() override;
  uint32_t BytesWaiting() override;
  uint32_t Read(uint8_t* buffer, uint32_t max) override;
  bool Write(const uint8_t* data, uint32_t length) override;
  bool PurgeInput() override;

  // Another program holds the port: opens fail until it is released. A scenario's port-busy
  // faults set this up at construction.
  void SetBusy(bool busy) { busy_ = busy; }
  void FailNextOpens(int count) { busyOpens_ = count; }
  bool Busy() const { return busy_ || busyOpens_ > 0; }
  bool IsOpen() const { return open_; }
  int PortNumber() const { return portNumber_; }
  const Counters& GetCounters() const { return counters_; }
  void SetTrace(Trace trace) { trace_ = std::move(trace); }

 private:
  void Record(TraceEntry entry);

  Devices& devices_;
  std::function<uint32_t()> nowMs_;
  int portNumber_;
  bool open_ = false;
  bool busy_ = false;
  int busyOpens_ = 0;
  Counters counters_;
  Trace trace_;
};

}  // namespace sim
