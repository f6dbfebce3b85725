#pragma once
#include <cstdint>
#include <string>

#include "core/clock.h"
#include "serial/serial_backend.h"

// The one serial channel to the base station. Thin and synchronous: every operation returns
// at once except ReadLine and ReadBytes, which poll the receive queue on the tick counter
// until their inter-byte time-out runs out.
class CSerialPort {
 public:
  CSerialPort(SerialBackend& backend, Clock& clock);
  virtual ~CSerialPort();
  CSerialPort(const CSerialPort&) = delete;
  CSerialPort& operator=(const CSerialPort&) = delete;

  // 1 when the device was opened, 0 otherwise. Unknown baud rates become 9600; parity
  // letters E, M, O, S (upper case only) select parity, anything else none; stop bits 2
  // gives two stop bits, anything else one.
  [[nodiscard]] int Open(int port, int baud, char parity, uint8_t dataBits, int stopBits);
  void Close();
  uint32_t BytesWaiting();
  [[nodiscard]] uint32_t Read(void* buffer, uint32_t max);
  // Collects bytes up to `terminator` (consumed, not kept) or `max` bytes; the buffer must
  // hold max + 1 bytes and is always NUL-terminated. Returns the length of the text.
  int ReadLine(char* buffer, int max, uint32_t timeoutMs, char terminator);
  // Collects up to `count` bytes; not NUL-terminated. Returns how many came.
  [[nodiscard]] int ReadBytes(void* buffer, int count, uint32_t timeoutMs);
  int WriteByte(uint8_t byte);
  int Write(const void* buffer, int length);
  int WriteString(const char* text);
  int PurgeInput();
  // Reads and drops every byte already waiting; returns how many there were. Unlike
  // PurgeInput, the bytes are read, so that a trace shows them and a caller can count them.
  int DiscardWaiting();
  // Nothing waiting yet: lets the backend block until a byte comes or `milliseconds` pass
  // (it may return at once; callers loop on the tick counter).
  void WaitForInput(uint32_t milliseconds);
  // The port number while open, -1 while closed.
  int PortNumber() const;

  bool IsOpen() const { return open_ != 0; }
  // Why the last Open failed, as the backend tells it (empty when it cannot).
  std::string OpenFailure() const { return backend_.OpenFailure(); }
  // The number given to the last Open, kept after a failed Open too.
  int StoredPortNumber() const { return port_; }
  const LineSettings& Settings() const { return settings_; }

  static LineSettings MakeLineSettings(int baud, char parity, uint8_t dataBits, int stopBits);

 private:
  // One byte from the receive queue if one is waiting.
  bool TakeByte(uint8_t& byte);
  // TakeByte, or else a wait for input until the time-out begun at `start` runs out (`now`:
  // the tick just read, so that waiting reads the clock no more often than polling).
  bool TakeByteBefore(uint8_t& byte, uint32_t now, uint32_t start, uint32_t timeoutMs);

  SerialBackend& backend_;
  Clock& clock_;
  int port_ = 0;
  LineSettings settings_;
  uint32_t open_ = 0;
};
