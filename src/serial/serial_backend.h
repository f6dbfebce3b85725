#pragma once
#include <cstdint>
#include <string>

enum class Parity { kNone, kEven, kOdd, kMark, kSpace };
enum class StopBits { kOne, kTwo };

struct LineSettings {
  uint32_t baud = 9600;
  Parity parity = Parity::kNone;
  uint8_t dataBits = 8;
  StopBits stopBits = StopBits::kOne;
};

// The operating system's side of a serial port: the few primitives CSerialPort needs.
// Implementations: the Win32 comm API, termios, and the in-process device simulator.
class SerialBackend {
 public:
  virtual ~SerialBackend() = default;
  // Opens COM<port> exclusively and applies the settings (DTR and RTS asserted, no flow
  // control). False when the device cannot be opened; nothing is left open then.
  [[nodiscard]] virtual bool Open(int port, const LineSettings& settings) = 0;
  // Drops DTR and RTS, then closes. Only called while open.
  virtual void Close() = 0;
  // Bytes in the receive queue; clears latched line errors. 0 when the query fails.
  virtual uint32_t BytesWaiting() = 0;
  // Copies up to `max` received bytes without waiting; returns how many.
  [[nodiscard]] virtual uint32_t Read(uint8_t* buffer, uint32_t max) = 0;
  // Hands all bytes to the driver; false when the platform write fails.
  [[nodiscard]] virtual bool Write(const uint8_t* data, uint32_t length) = 0;
  // Discards everything in the receive queue.
  virtual bool PurgeInput() = 0;
  // Why the last Open failed, in words that name the device and tell what to do where there
  // is something to do; empty when the backend cannot tell.
  virtual std::string OpenFailure() const { return {}; }
  // Returns once a byte is waiting or `milliseconds` have passed, whichever is first, or
  // earlier. Backends that cannot wait return at once, so their callers poll as the dialog
  // program does.
  virtual void WaitForInput(uint32_t /*milliseconds*/) {}
};
