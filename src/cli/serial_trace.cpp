#include "serial_trace.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {
constexpr std::size_t kBytesPerLine = 16;
// Bytes further apart than this start a new line, so a line shows one burst.
constexpr uint32_t kBurstGapMs = 20;

const char* ParityLetter(Parity parity) {
  switch (parity) {
    case Parity::kEven:
      return "E";
    case Parity::kOdd:
      return "O";
    case Parity::kMark:
      return "M";
    case Parity::kSpace:
      return "S";
    case Parity::kNone:
      break;
  }
  return "N";
}
}  // namespace

std::string FormatTraceLine(uint32_t milliseconds, bool sent, const uint8_t* data,
                            std::size_t length) {
  char head[32];
  std::snprintf(head, sizeof head, "[%8lu ms] %s", static_cast<unsigned long>(milliseconds),
                sent ? "->" : "<-");
  std::string line = head;
  std::string text;
  for (std::size_t i = 0; i < kBytesPerLine; ++i) {
    if (i < length) {
      char hex[4];
      std::snprintf(hex, sizeof hex, " %02X", data[i]);
      line += hex;
      text += data[i] >= 0x20 && data[i] < 0x7F ? static_cast<char>(data[i]) : '.';
    } else {
      line += "   ";
    }
  }
  return line + "  |" + text + "|";
}

TracingSerial::TracingSerial(SerialBackend& inner, Clock& clock, std::ostream& out)
    : inner_(inner), clock_(clock), out_(out), start_(clock.TickCount()) {
  out_ << "# Serial trace: milliseconds since the start, -> sent to the base station, <- "
          "received\n";
}

TracingSerial::~TracingSerial() {
  Flush();
}

void TracingSerial::Flush() {
  for (std::size_t offset = 0; offset < pending_.size(); offset += kBytesPerLine) {
    const std::size_t count = std::min(kBytesPerLine, pending_.size() - offset);
    out_ << FormatTraceLine(pendingStart_, direction_ == Direction::kSent, pending_.data() + offset,
                            count)
         << '\n';
  }
  pending_.clear();
  out_.flush();
}

void TracingSerial::Add(Direction direction, const uint8_t* data, uint32_t length) {
  const uint32_t now = Now();
  for (uint32_t i = 0; i < length; ++i) {
    if (!pending_.empty() && (direction != direction_ || pending_.size() == kBytesPerLine ||
                              now - pendingLast_ > kBurstGapMs)) {
      Flush();
    }
    if (pending_.empty()) {
      direction_ = direction;
      pendingStart_ = now;
    }
    pending_.push_back(data[i]);
    pendingLast_ = now;
  }
}

void TracingSerial::Note(const std::string& text) {
  Flush();
  char head[32];
  std::snprintf(head, sizeof head, "[%8lu ms] ", static_cast<unsigned long>(Now()));
  out_ << head << text << '\n';
  out_.flush();
}

bool TracingSerial::Open(int port, const LineSettings& settings) {
  const bool opened = inner_.Open(port, settings);
  char text[96];
  std::snprintf(text, sizeof text, "open COM%d at %lu baud, %u%s%d: %s", port,
                static_cast<unsigned long>(settings.baud), settings.dataBits,
                ParityLetter(settings.parity), settings.stopBits == StopBits::kTwo ? 2 : 1,
                opened ? "opened" : "failed");
  Note(text);
  return opened;
}

void TracingSerial::Close() {
  inner_.Close();
  Note("close");
}

uint32_t TracingSerial::Read(uint8_t* buffer, uint32_t max) {
  const uint32_t count = inner_.Read(buffer, max);
  Add(Direction::kReceived, buffer, count);
  return count;
}

bool TracingSerial::Write(const uint8_t* data, uint32_t length) {
  const bool written = inner_.Write(data, length);
  if (written)
    Add(Direction::kSent, data, length);
  else
    Note("write of " + std::to_string(length) + " bytes failed");
  return written;
}

bool TracingSerial::PurgeInput() {
  const bool purged = inner_.PurgeInput();
  Note(purged ? "purge receive queue" : "purge receive queue failed");
  return purged;
}
