#include "link_cut.h"

bool CuttableSerial::Open(int port, const LineSettings& settings) {
  return !isCut_() && inner_.Open(port, settings);
}

uint32_t CuttableSerial::BytesWaiting() {
  return isCut_() ? 0 : inner_.BytesWaiting();
}

uint32_t CuttableSerial::Read(uint8_t* buffer, uint32_t max) {
  return isCut_() ? 0 : inner_.Read(buffer, max);
}

bool CuttableSerial::Write(const uint8_t* data, uint32_t length) {
  return !isCut_() && inner_.Write(data, length);
}

void CuttableSerial::WaitForInput(uint32_t milliseconds) {
  if (!isCut_())
    inner_.WaitForInput(milliseconds);
}

bool CuttableSerial::PurgeInput() {
  return isCut_() || inner_.PurgeInput();
}

uint32_t HurryingClock::TickCount() {
  if (isCut_())
    skew_ += 1000;
  return inner_.TickCount() + skew_;
}

void HurryingClock::Sleep(uint32_t milliseconds) {
  if (!isCut_())
    inner_.Sleep(milliseconds);
}
