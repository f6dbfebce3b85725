#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "serial/serial_backend.h"
#include "sim/base_station.h"
#include "sim/radio.h"
#include "sim/scenario.h"
#include "sim/tick_clock.h"
#include "sim/timeline.h"

namespace sim {

// One opening of the port by the PC: its settings and the bytes it wrote meanwhile.
struct PcSession {
  LineSettings settings;
  bool understood = false;  // 8N1 at the base station's baud rate
  std::vector<uint8_t> written;
};

// One base station with its radio, and the serial line between it and the PC. Every call of the
// PC's side takes the caller's tick count; the shared clock catches the timeline up to it first.
class Station {
 public:
  struct Setup {
    uint32_t baud = 9600;  // the only rate at which the base station understands
    bool emulateWireTime = false;
    RadioState radio;
    Radio::Timing timing;
    BaseStation::Config base;
  };

  // `scenario` holds the faults the base station, its radio and its port follow; it is read
  // where it lies, so its owner may change it (the module within reach).
  Station(Timeline& timeline, TickClock& clock, EventLog& log, Air& air, const Scenario& scenario,
          const Setup& setup);
  ~Station();
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  void PcOpened(const LineSettings& settings, uint32_t now);
  void PcClosed(uint32_t now);
  void FromPc(const uint8_t* data, size_t length, uint32_t now);
  void AdvanceTo(uint32_t now);
  size_t ToPcAvailable(uint32_t now);
  size_t ReadToPc(uint8_t* buffer, size_t max, uint32_t now);
  // Drops what has arrived at the PC; bytes still on the wire arrive later.
  void PurgeToPc(uint32_t now);
  bool PcOpen() const { return pcOpen_; }
  // How far behind its time on the wire the latest byte read by the PC was, at worst, in
  // microseconds: the lateness of a real-time host that reads less often than bytes arrive.
  uint64_t WorstReadLatenessUs() const { return worstLatenessUs_; }
  void LogWorstLateness();
  // The arrival at the PC of the first byte it has not read yet, in microseconds on the timeline
  // (in the past once it has arrived); UINT64_MAX for none.
  uint64_t NextArrivalUs() const;

  // The port has vanished (port-gone): it cannot be opened until it is back.
  bool PortGone() const;
  // Called when the PC's port closes, or vanishes with the PC on it.
  void SetClosedHook(std::function<void()> hook) { closedHook_ = std::move(hook); }

  const std::vector<PcSession>& Sessions() const { return sessions_; }
  const std::vector<uint8_t>& BaseReceived() const { return baseReceived_; }
  BaseStation& Base() { return *base_; }
  const BaseStation& Base() const { return *base_; }
  Radio& BaseRadio() { return *radio_; }
  const Radio& BaseRadio() const { return *radio_; }
  uint32_t Baud() const { return baud_; }

 private:
  uint64_t ByteTimeUs() const;
  void ToPc(const std::vector<uint8_t>& bytes);
  size_t Arrived() const;
  void Close();
  void CommandRecognised();

  Timeline& timeline_;
  TickClock& clock_;
  EventLog& log_;
  const Scenario& scenario_;
  uint32_t baud_;
  bool emulateWireTime_;
  std::unique_ptr<Radio> radio_;
  std::unique_ptr<BaseStation> base_;
  std::function<void()> closedHook_;

  bool pcOpen_ = false;
  bool understood_ = false;
  bool portGoneFired_ = false;
  uint64_t portBackUs_ = 0;
  uint64_t toBaseFreeUs_ = 0;  // when the wire towards the base station is free again
  uint64_t toPcFreeUs_ = 0;
  uint64_t worstLatenessUs_ = 0;
  uint64_t bytesRead_ = 0;
  uint64_t bytesReadLate_ = 0;  // more than a millisecond after their time
  struct InFlight {
    uint64_t arrivalUs;
    uint8_t byte;
  };
  std::deque<InFlight> toPc_;
  std::vector<PcSession> sessions_;
  std::vector<uint8_t> baseReceived_;
};

}  // namespace sim
