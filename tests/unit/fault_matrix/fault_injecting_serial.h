#pragma once
#include <cstdint>
#include <deque>
#include <string>

#include "serial/serial_backend.h"
#include "update_exchanges.h"

// What goes wrong with the devices' answer to one exchange.
enum class Fault {
  kSilence,    // the answer never comes
  kWrongByte,  // one examined byte is another
  kLastByteLost,
  kHalfLost,  // only the first half of the answer comes
  kGarbage,   // every byte of the answer is noise
  kLinkDrop,  // the device is gone: what has arrived can still be read, nothing more
              // arrives, writes and opens fail
};
const char* FaultName(Fault fault);

// Where a fault strikes: the answer to a request of the update, or part of it.
struct FaultTarget {
  Exchange exchange = Exchange::kNone;
  int page = -1;  // for a page reply
  // The part of the answer that counts as this exchange's reply: the bytes from `first`
  // on, `length` of them (the boot loader's identification and its ready byte come as one
  // answer). A length of 0: the devices send nothing by design; the faults then add a stray
  // `wrongByte` or noise. A link drop strikes as the reply's first byte would arrive, or
  // right after the request when the reply starts the answer or nothing comes by design.
  int first = 0;
  int length = 0;
  int wrongAt = 0;  // the byte the wrong-byte fault changes, counted from `first`
  uint8_t wrongByte = 0;
};

// Sits between the PC's channel and the devices, names the exchanges from the PC's writes and
// spoils the answer to the target exchange. It also keeps every byte the PC tried to send,
// which after a link drop is more than the devices received.
class FaultInjectingSerial : public SerialBackend {
 public:
  FaultInjectingSerial(SerialBackend& devices, const FaultTarget& target, Fault fault);

  bool Open(int port, const LineSettings& settings) override;
  void Close() override;
  uint32_t BytesWaiting() override;
  uint32_t Read(uint8_t* buffer, uint32_t max) override;
  bool Write(const uint8_t* data, uint32_t length) override;
  bool PurgeInput() override;

  // The fault has struck (the target exchange happened).
  bool Struck() const { return struck_; }
  bool Dropped() const { return dropped_; }
  const std::string& Attempted() const { return attempted_; }

 private:
  bool IsTarget(const HeardRequest& request) const;
  void Strike();
  // Takes what the devices have sent so far, spoiling the target's reply on the way.
  void Pull();
  void Take(uint8_t byte);

  SerialBackend& devices_;
  FaultTarget target_;
  Fault fault_;
  UpdateExchanges exchanges_;
  HeardRequest lastRequest_;
  bool struck_ = false;
  bool replying_ = false;  // bytes now arriving answer the target
  int replyIndex_ = 0;
  bool dropped_ = false;
  std::deque<uint8_t> arrived_;
  std::string attempted_;
};
