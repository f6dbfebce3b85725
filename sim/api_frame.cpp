#include "sim/api_frame.h"

namespace sim {

namespace {
bool NeedsEscape(uint8_t byte) {
  return byte == frame::kStart || byte == frame::kEscape || byte == 0x11 || byte == 0x13;
}
}  // namespace

uint8_t FrameChecksum(const std::vector<uint8_t>& data) {
  uint8_t sum = 0;
  for (uint8_t byte : data) sum = static_cast<uint8_t>(sum + byte);
  return static_cast<uint8_t>(0xFF - sum);
}

std::vector<uint8_t> EncodeFrame(const std::vector<uint8_t>& data, bool escaped) {
  std::vector<uint8_t> body;
  PutBigEndian(body, data.size(), 2);
  Append(body, data);
  body.push_back(FrameChecksum(data));
  std::vector<uint8_t> out{frame::kStart};
  for (uint8_t byte : body) {
    if (escaped && NeedsEscape(byte)) {
      out.push_back(frame::kEscape);
      out.push_back(byte ^ 0x20);
    } else {
      out.push_back(byte);
    }
  }
  return out;
}

std::optional<std::vector<uint8_t>> FrameDecoder::Feed(uint8_t byte) {
  if (escaped_) {
    if (byte == frame::kStart) {  // an unescaped start byte always begins a new frame
      if (stage_ != Stage::kIdle)
        ++rejected_;
      unescapeNext_ = false;
      stage_ = Stage::kLengthHigh;
      return std::nullopt;
    }
    if (stage_ == Stage::kIdle)
      return std::nullopt;
    if (byte == frame::kEscape) {
      unescapeNext_ = true;
      return std::nullopt;
    }
    if (unescapeNext_) {
      unescapeNext_ = false;
      byte ^= 0x20;
    }
    return Take(byte);
  }
  if (stage_ == Stage::kIdle) {
    if (byte == frame::kStart)
      stage_ = Stage::kLengthHigh;
    return std::nullopt;
  }
  return Take(byte);
}

std::optional<std::vector<uint8_t>> FrameDecoder::Take(uint8_t byte) {
  switch (stage_) {
    case Stage::kIdle:
      break;
    case Stage::kLengthHigh:
      length_ = static_cast<size_t>(byte) << 8;
      stage_ = Stage::kLengthLow;
      break;
    case Stage::kLengthLow:
      length_ |= byte;
      data_.clear();
      // The radio's buffer holds at most a few hundred bytes; anything longer is noise.
      stage_ = length_ == 0 || length_ > 300 ? Stage::kIdle : Stage::kData;
      if (stage_ == Stage::kIdle)
        ++rejected_;
      break;
    case Stage::kData:
      data_.push_back(byte);
      if (data_.size() == length_)
        stage_ = Stage::kChecksum;
      break;
    case Stage::kChecksum:
      stage_ = Stage::kIdle;
      if (FrameChecksum(data_) == byte)
        return data_;
      ++rejected_;
      break;
  }
  return std::nullopt;
}

void Append(std::vector<uint8_t>& out, const uint8_t* data, size_t length) {
  out.reserve(out.size() + length);
  for (size_t i = 0; i < length; ++i) out.push_back(data[i]);
}

void PutBigEndian(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint64_t GetBigEndian(const uint8_t* data, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | data[i];
  return value;
}

}  // namespace sim
