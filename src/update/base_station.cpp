// The base station's own side of the update: finding it, starting the relay to the boot
// loader network, and letting it go again.
#include <cstring>

#include "update/link_protocol.h"
#include "update/update_steps.h"

namespace update {
namespace {
// The identification reply to "<V" at the rate just opened. The window is counted from before
// the first byte; arriving bytes do not extend it. Stops at once at 18 bytes.
bool Identify(UpdateContext& context, std::string& reply) {
  CSerialPort& port = context.port;
  const uint32_t start = context.Now();
  while (!Elapsed(context.Now(), start, protocol::kIdentificationTimeoutMs)) {
    if (port.BytesWaiting() == 0)
      continue;
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

BaseStationSearch FindBaseStation(UpdateContext& context, int port) {
  BaseStationSearch search;
  for (uint32_t baud : context.options.baudRates) {
    update_events::BaudRateTried tried;
    tried.port = port;
    tried.baud = baud;
    // The companion serial test program may hold the port: ask it once per rate.
    if (!OpenAt(context.port, port, baud)) {
      context.host.BorrowPort(port);
      if (!OpenAt(context.port, port, baud)) {
        tried.tick = context.Now();
        context.Emit(tried);
        search.result = BaseStationSearch::Result::kOpenFailed;
        return search;
      }
    }
    tried.opened = true;
    context.Delay(protocol::kSettleMs);
    context.port.WriteString(protocol::kEndRelay);
    context.port.WriteString(protocol::kIdentify);
    tried.answered = Identify(context, tried.reply);
    tried.tick = context.Now();
    context.Emit(tried);
    if (tried.answered) {
      search.result = BaseStationSearch::Result::kFound;
      search.baud = baud;
      return search;
    }
    context.port.Close();
  }
  return search;
}

void StartBootLoaderRelay(UpdateContext& context) {
  CSerialPort& port = context.port;
  port.WriteString(protocol::kRelay);
  port.Write(protocol::kPanIdFrame, sizeof protocol::kPanIdFrame);
  port.Write(protocol::kChannelFrame, sizeof protocol::kChannelFrame);
  port.Write(protocol::kFrameModeFrame, sizeof protocol::kFrameModeFrame);
}

void RestoreBaseStation(UpdateContext& context, LinkState state) {
  CSerialPort& port = context.port;
  if (state != LinkState::kCommands) {
    context.Delay(protocol::kRelayPauseMs);
    port.WriteString(protocol::kEndRelay);
    if (state == LinkState::kReport)
      port.WriteString(protocol::kCancelReport);
  }
  port.WriteString(protocol::kRelease);
  context.Delay(protocol::kRelayPauseMs);
  port.Close();
  context.Emit(update_events::BaseStationRestored{context.Now()});
}

}  // namespace update
