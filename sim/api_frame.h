#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace sim {

// The radio's framed interface: start byte 0x7E, length (high byte first), the frame data
// (type, then its fields) and a checksum, 0xFF minus the low byte of the sum of the data.
// In escaped framing (frame mode 2) the bytes 0x7E, 0x7D, 0x11 and 0x13 after the start byte
// travel as 0x7D followed by the byte XOR 0x20.
namespace frame {
constexpr uint8_t kStart = 0x7E;
constexpr uint8_t kEscape = 0x7D;
constexpr uint8_t kParameterCommand = 0x08;
constexpr uint8_t kParameterResponse = 0x88;
constexpr uint8_t kTransmit64 = 0x00;
constexpr uint8_t kTransmitStatus = 0x89;
constexpr uint8_t kReceive64 = 0x80;
constexpr uint64_t kBroadcast = 0xFFFF;

// Response statuses.
constexpr uint8_t kOk = 0;
constexpr uint8_t kError = 1;
constexpr uint8_t kInvalidCommand = 2;
constexpr uint8_t kInvalidParameter = 3;
}  // namespace frame

uint8_t FrameChecksum(const std::vector<uint8_t>& data);
// The whole frame for `data`, escaped or plain.
std::vector<uint8_t> EncodeFrame(const std::vector<uint8_t>& data, bool escaped);

// Collects frames from a byte stream. A frame whose checksum is wrong is dropped; so is
// everything before a start byte.
class FrameDecoder {
 public:
  explicit FrameDecoder(bool escaped = false) : escaped_(escaped) {}
  void SetEscaped(bool escaped) { escaped_ = escaped; }
  // The frame data (type first) once a frame with a good checksum is complete.
  std::optional<std::vector<uint8_t>> Feed(uint8_t byte);
  int RejectedFrames() const { return rejected_; }

 private:
  enum class Stage { kIdle, kLengthHigh, kLengthLow, kData, kChecksum };
  std::optional<std::vector<uint8_t>> Take(uint8_t byte);

  bool escaped_;
  bool unescapeNext_ = false;
  Stage stage_ = Stage::kIdle;
  size_t length_ = 0;
  std::vector<uint8_t> data_;
  int rejected_ = 0;
};

// Appends bytes. Kept out of line: g++ 12 at -O2 and above warns falsely about a vector
// that was built from a short braced list and then grows by insert.
void Append(std::vector<uint8_t>& out, const uint8_t* data, size_t length);
template <typename Bytes>
void Append(std::vector<uint8_t>& out, const Bytes& bytes) {
  Append(out, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Big-endian helpers.
void PutBigEndian(std::vector<uint8_t>& out, uint64_t value, int bytes);
uint64_t GetBigEndian(const uint8_t* data, int bytes);

}  // namespace sim
