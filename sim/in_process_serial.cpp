#include "sim/in_process_serial.h"

namespace sim {

InProcessSerial::InProcessSerial(Devices& devices, std::function<uint32_t()> nowMs, int portNumber)
    : devices_(devices),
      nowMs_(std::move(nowMs)),
      portNumber_(portNumber),
      busy_(devices.GetScenario().portBusy),
      busyOpens_(devices.GetScenario().portBusyOpens) {}

void InProcessSerial::Record(TraceEntry entry) {
  if (trace_)
    trace_(entry);
}

bool InProcessSerial::Open(int port, const LineSettings& settings) {
  const uint32_t now = nowMs_();
  // Like an exclusive open: a second open of an open port fails too.
  if (port != portNumber_ || open_ || Busy()) {
    if (port == portNumber_ && !open_ && busyOpens_ > 0)
      --busyOpens_;
    ++counters_.refusedOpens;
    Record({TraceEntry::Kind::kOpenRefused, now, port, settings, {}});
    return false;
  }
  open_ = true;
  ++counters_.opens;
  devices_.PcOpened(settings, now);
  Record({TraceEntry::Kind::kOpen, now, port, settings, {}});
  return true;
}

void InProcessSerial::Close() {
  if (!open_)
    return;
  const uint32_t now = nowMs_();
  ++counters_.dtrDrops;
  ++counters_.rtsDrops;
  ++counters_.closes;
  open_ = false;
  devices_.PcClosed(now);
  Record({TraceEntry::Kind::kClose, now, portNumber_, {}, {}});
}

uint32_t InProcessSerial::BytesWaiting() {
  if (!open_)
    return 0;
  return static_cast<uint32_t>(devices_.ToPcAvailable(nowMs_()));
}

uint32_t InProcessSerial::Read(uint8_t* buffer, uint32_t max) {
  if (!open_ || max == 0)
    return 0;
  const uint32_t now = nowMs_();
  const auto count = static_cast<uint32_t>(devices_.ReadToPc(buffer, max, now));
  if (count > 0)
    Record({TraceEntry::Kind::kRead, now, 0, {}, {buffer, buffer + count}});
  return count;
}

bool InProcessSerial::Write(const uint8_t* data, uint32_t length) {
  if (!open_)
    return false;
  const uint32_t now = nowMs_();
  ++counters_.writes;
  devices_.FromPc(data, length, now);
  Record({TraceEntry::Kind::kWrite, now, 0, {}, {data, data + length}});
  return true;
}

bool InProcessSerial::PurgeInput() {
  if (!open_)
    return false;
  const uint32_t now = nowMs_();
  ++counters_.purges;
  devices_.PurgeToPc(now);
  Record({TraceEntry::Kind::kPurge, now, 0, {}, {}});
  return true;
}

}  // namespace sim
