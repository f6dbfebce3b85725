#pragma once
#include <cstdint>
#include <ostream>
#include <vector>

#include "core/clock.h"
#include "serial/serial_backend.h"
#include "update/update_events.h"

// Writes every byte that passes the serial port to a text stream, one line per run of up to
// 16 bytes in one direction: milliseconds since the trace started, "->" for bytes sent to
// the base station or "<-" for bytes received, the bytes in hexadecimal and as text.
// Opening, closing and purging the port are noted on lines of their own.
class TracingSerial : public SerialBackend {
 public:
  TracingSerial(SerialBackend& inner, Clock& clock, std::ostream& out);
  ~TracingSerial() override;

  bool Open(int port, const LineSettings& settings) override;
  void Close() override;
  uint32_t BytesWaiting() override { return inner_.BytesWaiting(); }
  uint32_t Read(uint8_t* buffer, uint32_t max) override;
  bool Write(const uint8_t* data, uint32_t length) override;
  bool PurgeInput() override;
  std::string OpenFailure() const override { return inner_.OpenFailure(); }
  void WaitForInput(uint32_t milliseconds) override { inner_.WaitForInput(milliseconds); }

  // Writes out the bytes still held for the current line.
  void Flush();
  // A line of its own that says what the program made of the bytes (stale bytes dropped).
  void Note(const std::string& text);

 private:
  enum class Direction { kSent, kReceived };
  void Add(Direction direction, const uint8_t* data, uint32_t length);
  uint32_t Now() { return clock_.TickCount() - start_; }

  SerialBackend& inner_;
  Clock& clock_;
  std::ostream& out_;
  uint32_t start_;
  Direction direction_ = Direction::kSent;
  std::vector<uint8_t> pending_;
  uint32_t pendingStart_ = 0;
  uint32_t pendingLast_ = 0;
};

// One trace line: "[    123 ms] -> 1B 3C 56 ...   |.<V|".
std::string FormatTraceLine(uint32_t milliseconds, bool sent, const uint8_t* data,
                            std::size_t length);

// Notes in the trace what the update did with bytes it read but did not use.
class TraceNotes : public UpdateObserver {
 public:
  explicit TraceNotes(TracingSerial& trace) : trace_(trace) {}
  void OnUpdateEvent(const UpdateEvent& event) override {
    const auto* sent = std::get_if<update_events::PageFrameSent>(&event);
    if (sent != nullptr && sent->discarded != 0) {
      trace_.Note("dropped " + std::to_string(sent->discarded) +
                  " stale bytes unread before the frame of page " + std::to_string(sent->page));
    }
  }

 private:
  TracingSerial& trace_;
};
