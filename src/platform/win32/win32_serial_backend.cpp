#include "win32_serial_backend.h"

#include <cstdio>

namespace {
BYTE ParityCode(Parity parity) {
  switch (parity) {
    case Parity::kEven:
      return EVENPARITY;
    case Parity::kOdd:
      return ODDPARITY;
    case Parity::kMark:
      return MARKPARITY;
    case Parity::kSpace:
      return SPACEPARITY;
    case Parity::kNone:
      break;
  }
  return NOPARITY;
}
}  // namespace

DCB MakeDeviceControlBlock(const LineSettings& settings) {
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = settings.baud;
  dcb.fBinary = 1;
  dcb.fParity = 1;
  dcb.fOutxCtsFlow = 0;
  dcb.fOutxDsrFlow = 0;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fDsrSensitivity = 0;
  dcb.fTXContinueOnXoff = 1;
  dcb.fOutX = 0;
  dcb.fInX = 0;
  dcb.fErrorChar = 0;
  dcb.fNull = 0;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fAbortOnError = 0;
  dcb.XonLim = 100;
  dcb.XoffLim = 100;
  dcb.ByteSize = settings.dataBits;
  dcb.Parity = ParityCode(settings.parity);
  dcb.StopBits = settings.stopBits == StopBits::kTwo ? TWOSTOPBITS : ONESTOPBIT;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  dcb.ErrorChar = static_cast<char>(0xFF);
  dcb.EofChar = 0x0D;
  dcb.EvtChar = static_cast<char>(0xFF);
  return dcb;
}

Win32SerialBackend::~Win32SerialBackend() {
  if (handle_ != INVALID_HANDLE_VALUE)
    Close();
}

bool Win32SerialBackend::Open(int port, const LineSettings& settings) {
  // The device namespace form opens COM10 and higher too.
  char name[32];
  std::snprintf(name, sizeof name, "\\\\.\\COM%d", port);
  handle_ = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE)
    return false;

  // Once the device is open the port counts as open; the configuration calls are not checked.
  SetupComm(handle_, 32768, 32768);
  // Reads return at once with what has arrived; writes have no time-out.
  COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
  SetCommTimeouts(handle_, &timeouts);
  DCB dcb = MakeDeviceControlBlock(settings);
  SetCommState(handle_, &dcb);
  SetCommMask(handle_, EV_RXCHAR | EV_TXEMPTY);
  return true;
}

void Win32SerialBackend::Close() {
  if (handle_ == INVALID_HANDLE_VALUE)
    return;
  // Dropping DTR and RTS fails on some drivers (a Wine pty among them); the port closes anyway.
  EscapeCommFunction(handle_, CLRDTR);
  EscapeCommFunction(handle_, CLRRTS);
  CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

uint32_t Win32SerialBackend::BytesWaiting() {
  DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(handle_, &errors, &status))
    return 0;
  return status.cbInQue;
}

uint32_t Win32SerialBackend::Read(uint8_t* buffer, uint32_t max) {
  DWORD got = 0;
  if (!ReadFile(handle_, buffer, max, &got, nullptr))
    return 0;
  return got;
}

bool Win32SerialBackend::Write(const uint8_t* data, uint32_t length) {
  DWORD written = 0;
  return WriteFile(handle_, data, length, &written, nullptr) != 0;
}

bool Win32SerialBackend::PurgeInput() {
  return PurgeComm(handle_, PURGE_RXCLEAR) != 0;
}
