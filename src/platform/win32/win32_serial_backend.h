#pragma once
#include "serial/serial_backend.h"
#include "win32_api.h"

// The device-control block for a port opened with `settings`: the line format from the
// settings, every other member fixed (DTR and RTS asserted, no flow control), reserved
// members and unused flag bits zero.
DCB MakeDeviceControlBlock(const LineSettings& settings);

// Serial port over the Windows comm API: synchronous, no overlapped input/output, reads
// return at once with what has arrived.
class Win32SerialBackend : public SerialBackend {
 public:
  Win32SerialBackend() = default;
  ~Win32SerialBackend() override;
  Win32SerialBackend(const Win32SerialBackend&) = delete;
  Win32SerialBackend& operator=(const Win32SerialBackend&) = delete;

  bool Open(int port, const LineSettings& settings) override;
  void Close() override;
  uint32_t BytesWaiting() override;
  uint32_t Read(uint8_t* buffer, uint32_t max) override;
  bool Write(const uint8_t* data, uint32_t length) override;
  bool PurgeInput() override;

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};
