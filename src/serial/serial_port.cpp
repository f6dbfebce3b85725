#include "serial/serial_port.h"

#include <cstring>

CSerialPort::CSerialPort(SerialBackend& backend, Clock& clock) : backend_(backend), clock_(clock) {}

CSerialPort::~CSerialPort() {
  Close();
}

LineSettings CSerialPort::MakeLineSettings(int baud, char parity, uint8_t dataBits, int stopBits) {
  LineSettings settings;
  switch (baud) {
    case 300:
    case 600:
    case 1200:
    case 2400:
    case 4800:
    case 9600:
    case 14400:
    case 19200:
    case 38400:
    case 57600:
    case 115200:
      settings.baud = static_cast<uint32_t>(baud);
      break;
    default:
      settings.baud = 9600;
  }
  switch (parity) {
    case 'E':
      settings.parity = Parity::kEven;
      break;
    case 'M':
      settings.parity = Parity::kMark;
      break;
    case 'O':
      settings.parity = Parity::kOdd;
      break;
    case 'S':
      settings.parity = Parity::kSpace;
      break;
    default:
      settings.parity = Parity::kNone;
  }
  settings.stopBits = stopBits == 2 ? StopBits::kTwo : StopBits::kOne;
  settings.dataBits = dataBits;
  return settings;
}

int CSerialPort::Open(int port, int baud, char parity, uint8_t dataBits, int stopBits) {
  if (open_)
    Close();
  port_ = port;
  settings_ = MakeLineSettings(baud, parity, dataBits, stopBits);
  if (!backend_.Open(port, settings_))
    return 0;
  open_ = 1;
  return 1;
}

void CSerialPort::Close() {
  if (!open_)
    return;
  backend_.Close();
  open_ = 0;
}

uint32_t CSerialPort::BytesWaiting() {
  return open_ ? backend_.BytesWaiting() : 0;
}

uint32_t CSerialPort::Read(void* buffer, uint32_t max) {
  if (max == 0)
    return 0;
  const uint32_t waiting = BytesWaiting();
  if (waiting == 0)
    return 0;
  return backend_.Read(static_cast<uint8_t*>(buffer), waiting < max ? waiting : max);
}

bool CSerialPort::TakeByte(uint8_t& byte) {
  if (BytesWaiting() == 0)
    return false;
  return backend_.Read(&byte, 1) == 1;
}

void CSerialPort::WaitForInput(uint32_t milliseconds) {
  if (open_ && milliseconds != 0)
    backend_.WaitForInput(milliseconds);
}

bool CSerialPort::TakeByteBefore(uint8_t& byte, uint32_t now, uint32_t start, uint32_t timeoutMs) {
  if (TakeByte(byte))
    return true;
  WaitForInput(Remaining(now, start, timeoutMs));
  return false;
}

int CSerialPort::ReadLine(char* buffer, int max, uint32_t timeoutMs, char terminator) {
  int i = 0;
  uint32_t start = clock_.TickCount();
  for (uint32_t now; !Elapsed(now = clock_.TickCount(), start, timeoutMs);) {
    uint8_t byte;
    if (!TakeByteBefore(byte, now, start, timeoutMs))
      continue;
    buffer[i] = static_cast<char>(byte);
    if (buffer[i] == terminator || i >= max) {
      buffer[i] = '\0';
      return i;
    }
    ++i;
    start = clock_.TickCount();
  }
  buffer[i] = '\0';
  return i;
}

int CSerialPort::ReadBytes(void* buffer, int count, uint32_t timeoutMs) {
  auto* out = static_cast<uint8_t*>(buffer);
  int i = 0;
  if (count <= 0)
    return 0;
  uint32_t start = clock_.TickCount();
  for (uint32_t now; !Elapsed(now = clock_.TickCount(), start, timeoutMs);) {
    uint8_t byte;
    if (!TakeByteBefore(byte, now, start, timeoutMs))
      continue;
    out[i++] = byte;
    if (i == count)
      break;
    start = clock_.TickCount();
  }
  return i;
}

int CSerialPort::WriteByte(uint8_t byte) {
  return open_ && backend_.Write(&byte, 1) ? 1 : 0;
}

int CSerialPort::Write(const void* buffer, int length) {
  if (length < 0)
    return length;
  return open_ && backend_.Write(static_cast<const uint8_t*>(buffer), static_cast<uint32_t>(length))
             ? 1
             : 0;
}

int CSerialPort::WriteString(const char* text) {
  return open_ && backend_.Write(reinterpret_cast<const uint8_t*>(text),
                                 static_cast<uint32_t>(std::strlen(text)))
             ? 1
             : 0;
}

int CSerialPort::PurgeInput() {
  return open_ && backend_.PurgeInput() ? 1 : 0;
}

int CSerialPort::DiscardWaiting() {
  int discarded = 0;
  uint8_t bytes[64];
  for (uint32_t read; (read = Read(bytes, sizeof bytes)) != 0;) discarded += static_cast<int>(read);
  return discarded;
}

int CSerialPort::PortNumber() const {
  return open_ ? port_ : -1;
}
