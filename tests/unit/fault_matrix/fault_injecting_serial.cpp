#include "fault_injecting_serial.h"

const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::kSilence:
      return "silence";
    case Fault::kWrongByte:
      return "wrong_byte";
    case Fault::kLastByteLost:
      return "last_byte_lost";
    case Fault::kHalfLost:
      return "half_lost";
    case Fault::kGarbage:
      return "garbage";
    case Fault::kLinkDrop:
      return "link_drop";
  }
  return "?";
}

namespace {
constexpr uint8_t kNoise = 0x5A;  // garbage: every byte XOR this
const std::string kStrayNoise = "\x55\xAA\x7E";
}  // namespace

FaultInjectingSerial::FaultInjectingSerial(SerialBackend& devices, const FaultTarget& target,
                                           Fault fault)
    : devices_(devices), target_(target), fault_(fault) {}

bool FaultInjectingSerial::Open(int port, const LineSettings& settings) {
  if (dropped_)
    return false;  // the device has gone
  arrived_.clear();
  return devices_.Open(port, settings);
}

void FaultInjectingSerial::Close() {
  arrived_.clear();
  devices_.Close();
}

bool FaultInjectingSerial::IsTarget(const HeardRequest& request) const {
  if (struck_ || request.exchange != target_.exchange)
    return false;
  return target_.exchange != Exchange::kPage || request.page == target_.page;
}

void FaultInjectingSerial::Strike() {
  struck_ = true;
  if (fault_ == Fault::kLinkDrop && (target_.first == 0 || target_.length == 0)) {
    dropped_ = true;
    return;
  }
  if (target_.length == 0) {
    // Nothing comes by design: a stray byte or noise arrives instead.
    if (fault_ == Fault::kWrongByte)
      arrived_.push_back(target_.wrongByte);
    if (fault_ == Fault::kGarbage)
      arrived_.insert(arrived_.end(), kStrayNoise.begin(), kStrayNoise.end());
    return;
  }
  replying_ = true;
  replyIndex_ = 0;
}

bool FaultInjectingSerial::Write(const uint8_t* data, uint32_t length) {
  attempted_.append(reinterpret_cast<const char*>(data), length);
  if (dropped_)
    return false;
  // Whatever came before this write answered the earlier requests.
  Pull();
  replying_ = false;

  // The end mark has no answer; its faults strike as its first byte goes out, so that a
  // dropped link takes the end mark with it.
  const bool endMarkStarts = target_.exchange == Exchange::kEndMark && !struck_ &&
                             exchanges_.InTransfer() && length == 1 && data[0] == 0xFF &&
                             lastRequest_.exchange == Exchange::kPage;
  const HeardRequest request = exchanges_.Hear(data, length);
  if (request.exchange != Exchange::kNone)
    lastRequest_ = request;
  if (endMarkStarts) {
    Strike();
    if (dropped_)
      return false;
  }
  const bool written = devices_.Write(data, length);
  if (IsTarget(request))
    Strike();
  return written;
}

void FaultInjectingSerial::Take(uint8_t byte) {
  if (!replying_) {
    arrived_.push_back(byte);
    return;
  }
  const int index = replyIndex_++ - target_.first;
  if (index < 0 || index >= target_.length) {
    arrived_.push_back(byte);
    return;
  }
  switch (fault_) {
    case Fault::kSilence:
      return;
    case Fault::kWrongByte:
      arrived_.push_back(index == target_.wrongAt ? target_.wrongByte : byte);
      return;
    case Fault::kLastByteLost:
      if (index < target_.length - 1)
        arrived_.push_back(byte);
      return;
    case Fault::kHalfLost:
      if (index < target_.length / 2)
        arrived_.push_back(byte);
      return;
    case Fault::kGarbage:
      arrived_.push_back(byte ^ kNoise);
      return;
    case Fault::kLinkDrop:
      dropped_ = true;
      return;
  }
}

void FaultInjectingSerial::Pull() {
  while (!dropped_ && devices_.BytesWaiting() != 0) {
    uint8_t byte;
    if (devices_.Read(&byte, 1) != 1)
      break;
    Take(byte);
  }
}

uint32_t FaultInjectingSerial::BytesWaiting() {
  Pull();
  return static_cast<uint32_t>(arrived_.size());
}

uint32_t FaultInjectingSerial::Read(uint8_t* buffer, uint32_t max) {
  Pull();
  uint32_t n = 0;
  for (; n < max && !arrived_.empty(); ++n) {
    buffer[n] = arrived_.front();
    arrived_.pop_front();
  }
  return n;
}

bool FaultInjectingSerial::PurgeInput() {
  Pull();
  arrived_.clear();
  return !dropped_ && devices_.PurgeInput();
}
