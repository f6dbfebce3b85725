#pragma once
#include <cstdint>
#include <iterator>
#include <vector>

#include "core/clock.h"
#include "serial/serial_port.h"
#include "update/link_protocol.h"
#include "update/update_events.h"

struct UpdateOptions {
  // The rates tried, in order, when looking for the base station. The dialog keeps all six;
  // a console may restrict the search to the one rate it knows.
  std::vector<uint32_t> baudRates{std::begin(protocol::kBaudRates), std::end(protocol::kBaudRates)};
};

// What the protocol steps work with: the channel to the base station, the clock their waits
// and time-outs run on, who hears what they do, and how the run goes. Lent by the host.
struct LinkContext {
  CSerialPort& port;
  Clock& clock;
  UpdateObserver& observer;
  UpdateOptions options;

  uint32_t Now() const { return clock.TickCount(); }
  void Pause(uint32_t milliseconds) const { clock.Pause(milliseconds); }
  void Emit(const UpdateEvent& event) const { observer.OnUpdateEvent(event); }
};
