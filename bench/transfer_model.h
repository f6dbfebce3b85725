#pragma once
#include <cstdint>

// What a page transfer through the base station would take with a host that answers at
// once: every byte on the serial line (10 bits at the baud rate, both ways) plus the time the
// devices themselves take, as the simulator models them. The radios pass bytes on once the
// serial line has been quiet for three character times, then the packet takes one hop
// latency through the air; the boot loader answers a good page after its page turnaround and
// any other request after the general turnaround.
struct LinkModel {
  uint32_t baud = 9600;
  double hopLatencyMs = 5;
  double pageTurnaroundMs = 20;
  double turnaroundMs = 1;

  double ByteMs() const { return 10000.0 / baud; }
  // One direction through the two radios, after the last byte reached the first radio.
  double RelayMs() const { return 3 * ByteMs() + hopLatencyMs; }

  // One page: the 259-byte frame out, the relay, the page turnaround, the relay back and
  // the 1-byte reply.
  double PageCycleMs() const {
    return 259 * ByteMs() + RelayMs() + pageTurnaroundMs + RelayMs() + 1 * ByteMs();
  }
  // The 16-byte version request out; the identification (12 characters and CR) and, one
  // turnaround later, the ready byte come back in one radio packet.
  double IdentificationMs() const {
    return 16 * ByteMs() + RelayMs() + 2 * turnaroundMs + RelayMs() + 14 * ByteMs();
  }
  // From writing the version request to writing the end mark.
  double TransferMs(int pages) const { return IdentificationMs() + pages * PageCycleMs(); }
};
