#include "input_driven_devices.h"

namespace {
constexpr uint32_t kSerialHigh = 0x0013A200;
constexpr uint32_t kSerialLow = 0x40A1B2C3;

// A radio response frame as the base station hands it on: start, length, type 0x88, frame
// ID, parameter name, status, value, checksum.
std::string ResponseFrame(const char* name, const std::string& value = {}) {
  std::string data = std::string("\x88\x01", 2) + name + std::string(1, '\0') + value;
  uint8_t sum = 0;
  for (char c : data) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
  std::string frame = "\x7E";
  frame += static_cast<char>(data.size() >> 8);
  frame += static_cast<char>(data.size() & 0xFF);
  return frame + data + static_cast<char>(0xFF - sum);
}

std::string BigEndian(uint32_t value) {
  std::string bytes;
  for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>(value >> shift);
  return bytes;
}

// Delays before an answer, in milliseconds: around every time-out the update uses.
constexpr uint32_t kDelays[16] = {0,    1,    10,   100,  250,  499,  500,  501,
                                  1000, 1500, 1999, 2000, 2999, 3000, 3001, 4000};
}  // namespace

InputDrivenDevices::InputDrivenDevices(VirtualClock& clock, FuzzInput& input,
                                       const DeviceSetup& setup)
    : clock_(clock),
      input_(input),
      setup_(setup),
      origin_(clock.Now()),
      bootLoader_(setup.bootLoaderRunning) {}

uint64_t InputDrivenDevices::Now() const {
  return static_cast<uint32_t>(clock_.Now() - origin_);
}

void InputDrivenDevices::Forget() {
  inFlight_.clear();
  queue_.clear();
}

bool InputDrivenDevices::Open(int, const LineSettings& settings) {
  if (dropped || setup_.portBusy)
    return false;
  ++opens;
  isOpen = true;
  lineBaud_ = settings.baud;
  Forget();
  return true;
}

void InputDrivenDevices::Close() {
  isOpen = false;
  Forget();
}

void InputDrivenDevices::Deliver() {
  const uint64_t now = Now();
  while (!inFlight_.empty() && inFlight_.begin()->first <= now) {
    queue_.push_back(inFlight_.begin()->second);
    inFlight_.erase(inFlight_.begin());
  }
}

uint32_t InputDrivenDevices::BytesWaiting() {
  if (!isOpen || dropped)
    return 0;
  Deliver();
  return static_cast<uint32_t>(queue_.size());
}

uint32_t InputDrivenDevices::Read(uint8_t* buffer, uint32_t max) {
  if (!isOpen || dropped)
    return 0;
  Deliver();
  uint32_t n = 0;
  for (; n < max && !queue_.empty(); ++n) {
    buffer[n] = queue_.front();
    queue_.pop_front();
  }
  return n;
}

bool InputDrivenDevices::PurgeInput() {
  if (!isOpen || dropped)
    return false;
  Deliver();
  queue_.clear();
  return true;
}

void InputDrivenDevices::Send(const std::string& bytes, uint32_t delayMs, uint32_t gapMs) {
  uint64_t at = Now() + delayMs;
  for (char c : bytes) {
    inFlight_.emplace(at, static_cast<uint8_t>(c));
    at += gapMs;
  }
}

std::string InputDrivenDevices::ProperAnswer(const HeardRequest& request, bool alternative) {
  // At another rate the devices hear noise and answer nothing.
  if (lineBaud_ != setup_.baud)
    return {};
  const std::string idField = (setup_.moduleId + std::string(6, '\0')).substr(0, 6);
  const bool forThisModule = request.argument.substr(0, 6) == idField;
  switch (request.exchange) {
    case Exchange::kNone:
      return {};
    case Exchange::kIdentification:
      return alternative ? "\rKV-TSLK-00,V2.07" : "\rKV-TSLK-00,V2.07\r";
    case Exchange::kFirstPoll:
      if (alternative)
        bootLoader_ = true;
      return bootLoader_ ? "\xD0" : "";
    case Exchange::kSecondPoll:
      return bootLoader_ ? "\xD0" : "";
    case Exchange::kSetupReport: {
      const char* end = alternative ? "\r\n" : "\r";
      return "  Module ID.............  " + setup_.moduleId + end +
             "  Network S/N...........  0013A200 40A1B2C3" + end +
             "  PAN ID................  3332" + end + "  RF Channel............  15" + end;
    }
    case Exchange::kRow1:
      return ResponseFrame("CH");
    case Exchange::kRow2:
      return ResponseFrame("ID");
    case Exchange::kRow3:
      return forThisModule ? setup_.moduleId + (alternative ? "\r\n" : "\r") : "";
    case Exchange::kRow4:
      return ResponseFrame("SH", BigEndian(kSerialHigh));
    case Exchange::kRow5:
      return ResponseFrame("SL", BigEndian(kSerialLow));
    case Exchange::kRow6:
      return forThisModule ? ResponseFrame("DH") : "";
    case Exchange::kRow7:
      return forThisModule ? ResponseFrame("DL") : "";
    case Exchange::kRow8:
      return ResponseFrame("DH");
    case Exchange::kRow9:
      return ResponseFrame("DL");
    case Exchange::kModuleToBootLoader:
      if (forThisModule)
        bootLoader_ = true;
      return {};
    case Exchange::kBootLoaderIdentification:
      if (!bootLoader_)
        return {};
      return alternative ? "\nQMM-2.11-644\r!" : "QMM-2.11-644\r!";
    case Exchange::kPage: {
      uint8_t sum = 0;
      for (std::size_t i = 2; i < 258; ++i)
        sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(request.argument[i]));
      const bool good = sum == static_cast<uint8_t>(request.argument[258]);
      return good && !alternative ? "!" : "@";
    }
    case Exchange::kEndMark:
      bootLoader_ = false;  // the module starts its new firmware
      return {};
  }
  return {};
}

bool InputDrivenDevices::Write(const uint8_t* data, uint32_t length) {
  attempted.append(reinterpret_cast<const char*>(data), length);
  const HeardRequest request = exchanges_.Hear(data, length);
  if (!isOpen || dropped)
    return false;  // never reached the devices
  if (request.exchange != Exchange::kNone)
    requests.push_back(request);

  const uint8_t decision = input_.Take(0);
  const uint32_t delay = kDelays[decision >> 4];
  switch (decision & 0x0F) {
    case 8:  // silence
      ProperAnswer(request, false);
      return true;
    case 9: {  // raw bytes
      std::string raw(input_.Take() % 24, '\0');
      for (char& c : raw) c = static_cast<char>(input_.Take());
      Send(raw, delay, 0);
      return true;
    }
    case 10: {  // one byte changed
      std::string answer = ProperAnswer(request, false);
      if (!answer.empty()) {
        const std::size_t at = input_.Take() % answer.size();
        answer[at] = static_cast<char>(input_.Take());
      }
      Send(answer, delay, 0);
      return true;
    }
    case 11: {  // cut short
      const std::string answer = ProperAnswer(request, false);
      const std::size_t keep = answer.empty() ? 0 : input_.Take() % answer.size();
      Send(answer.substr(0, keep), delay, 0);
      return true;
    }
    case 12: {  // garbage after the answer
      std::string answer = ProperAnswer(request, false);
      for (int n = input_.Take() % 8; n > 0; --n) answer += static_cast<char>(input_.Take());
      Send(answer, delay, 0);
      return true;
    }
    case 13:  // the link drops: the adapter is pulled, the device is gone
      dropped = true;
      if (request.exchange != Exchange::kNone)
        requests.pop_back();  // this write never reached the devices either
      Forget();
      return false;
    case 14:  // the other answer a working device may give
      Send(ProperAnswer(request, true), delay, 0);
      return true;
    case 15:  // byte by byte
      Send(ProperAnswer(request, false), delay, (input_.Take() % 16) * 250u);
      return true;
    default:
      Send(ProperAnswer(request, false), delay, 0);
      return true;
  }
}
