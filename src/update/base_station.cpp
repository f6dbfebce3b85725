// The base station's own side of the update: finding it, starting the relay to the boot
// loader network, and letting it go again.
#include <cstring>

#include "update/link_protocol.h"
#include "update/update_steps.h"

namespace update {
namespace {
// The identification reply to "<V" at the rate just opened. The window is counted from before
// the first byte; arriving bytes do not extend it. Stops at once at 18 bytes.
bool Identify(LinkContext& link, std::string& reply) {
  CSerialPort& port = link.port;
  const uint32_t start = link.Now();
  for (uint32_t now; !Elapsed(now = link.Now(), start, protocol::kIdentificationTimeoutMs);) {
    if (port.BytesWaiting() == 0) {
      port.WaitForInput(Remaining(now, start, protocol::kIdentificationTimeoutMs));
      continue;
    }
    uint8_t byte;
    if (port.Read(&byte, 1) != 1)
      continue;
    reply.push_back(static_cast<char>(byte));
    if (reply.size() == protocol::kIdentificationLength) {
      return std::memcmp(reply.data(), protocol::kIdentification,
                         protocol::kIdentificationCompared) == 0;
    }
  }
  return false;
}

bool OpenAt(CSerialPort& port, int number, uint32_t baud) {
  return port.Open(number, static_cast<int>(baud), protocol::kParity, protocol::kDataBits,
                   protocol::kStopBits) != 0;
}
}  // namespace

BaseStationSearch FindBaseStation(LinkContext& link, int port) {
  BaseStationSearch search;
  for (uint32_t baud : link.options.baudRates) {
    update_events::BaudRateTried tried;
    tried.port = port;
    tried.baud = baud;
    // (The dialog's channel asks the companion serial test program to let go of a port it
    // cannot open, and tries again, before it reports the failure here.)
    if (!OpenAt(link.port, port, baud)) {
      tried.tick = link.Now();
      link.Emit(tried);
      search.result = BaseStationSearch::Result::kOpenFailed;
      return search;
    }
    tried.opened = true;
    link.Pause(protocol::kSettleMs);
    link.port.WriteString(protocol::kEndRelay);
    link.port.WriteString(protocol::kIdentify);
    tried.answered = Identify(link, tried.reply);
    tried.tick = link.Now();
    link.Emit(tried);
    if (tried.answered) {
      search.result = BaseStationSearch::Result::kFound;
      search.baud = baud;
      return search;
    }
    link.port.Close();
  }
  return search;
}

void StartBootLoaderRelay(LinkContext& link) {
  CSerialPort& port = link.port;
  port.WriteString(protocol::kRelay);
  port.Write(protocol::kPanIdFrame, sizeof protocol::kPanIdFrame);
  port.Write(protocol::kChannelFrame, sizeof protocol::kChannelFrame);
  port.Write(protocol::kFrameModeFrame, sizeof protocol::kFrameModeFrame);
}

void RestoreBaseStation(LinkContext& link, LinkState state) {
  CSerialPort& port = link.port;
  if (state != LinkState::kCommands) {
    link.Pause(protocol::kRelayPauseMs);
    port.WriteString(protocol::kEndRelay);
    if (state == LinkState::kReport)
      port.WriteString(protocol::kCancelReport);
  }
  port.WriteString(protocol::kRelease);
  link.Pause(protocol::kRelayPauseMs);
  port.Close();
  link.Emit(update_events::BaseStationRestored{link.Now()});
}

}  // namespace update
