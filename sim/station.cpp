#include "sim/station.h"

#include <algorithm>

namespace sim {

namespace {
const char* const kSource = "serial line";

std::string Describe(const LineSettings& settings) {
  static const char kParity[] = {'N', 'E', 'O', 'M', 'S'};
  return std::to_string(settings.baud) + " baud, " + std::to_string(settings.dataBits) +
         kParity[static_cast<int>(settings.parity)] +
         (settings.stopBits == StopBits::kTwo ? "2" : "1");
}
}  // namespace

Station::Station(Timeline& timeline, TickClock& clock, EventLog& log, Air& air,
                 const Scenario& scenario, const Setup& setup)
    : timeline_(timeline),
      clock_(clock),
      log_(log),
      scenario_(scenario),
      baud_(setup.baud),
      emulateWireTime_(setup.emulateWireTime) {
  radio_ = std::make_unique<Radio>("base radio", Side::kBase, timeline_, air, log_, scenario_,
                                   setup.radio, setup.timing);
  air.Attach(radio_.get());
  base_ = std::make_unique<BaseStation>(timeline_, *radio_, log_, scenario_, setup.base,
                                        [this](const std::vector<uint8_t>& bytes) { ToPc(bytes); });
  radio_->SetHostSink([this](const std::vector<uint8_t>& bytes) { base_->FromRadio(bytes); });
  base_->SetCommandHook([this](const std::string&) { CommandRecognised(); });
}

Station::~Station() = default;

uint64_t Station::ByteTimeUs() const {
  return (10'000'000 + baud_ - 1) / baud_;
}

void Station::AdvanceTo(uint32_t now) {
  timeline_.RunUntil(clock_.Internal(now));
}

bool Station::PortGone() const {
  return portGoneFired_ && timeline_.Now() < portBackUs_;
}

// port-gone: the PC's port vanishes at the base station's N-th command, once.
void Station::CommandRecognised() {
  if (portGoneFired_ || scenario_.portGoneAfter <= 0 ||
      base_->Commands().size() < static_cast<size_t>(scenario_.portGoneAfter))
    return;
  portGoneFired_ = true;
  portBackUs_ = timeline_.Now() + Ms(scenario_.portGoneMs);
  log_.Add(kSource, "the port vanishes for " + std::to_string(scenario_.portGoneMs) + " ms");
  Close();
  timeline_.At(portBackUs_, [this] { log_.Add(kSource, "the port is back"); });
}

void Station::PcOpened(const LineSettings& settings, uint32_t now) {
  AdvanceTo(now);
  if (PortGone())
    return;
  if (pcOpen_)
    PcClosed(now);
  pcOpen_ = true;
  understood_ = settings.baud == baud_ && settings.dataBits == 8 &&
                settings.parity == Parity::kNone && settings.stopBits == StopBits::kOne;
  sessions_.push_back(PcSession{settings, understood_, {}});
  log_.Add(kSource, "PC opens the port at " + Describe(settings) +
                        (understood_ ? "" : ": the base station cannot make it out"));
}

void Station::PcClosed(uint32_t now) {
  AdvanceTo(now);
  if (!pcOpen_)
    return;
  log_.Add(kSource, "PC closes the port");
  Close();
}

void Station::Close() {
  if (!pcOpen_)
    return;
  pcOpen_ = false;
  toPc_.clear();
  if (closedHook_)
    closedHook_();
}

void Station::FromPc(const uint8_t* data, size_t length, uint32_t now) {
  AdvanceTo(now);
  if (!pcOpen_ || length == 0)
    return;
  sessions_.back().written.insert(sessions_.back().written.end(), data, data + length);
  if (!understood_)
    return;  // garbled on the wire: the base station sees only line errors
  baseReceived_.insert(baseReceived_.end(), data, data + length);
  const uint64_t nowUs = timeline_.Now();
  if (!emulateWireTime_) {
    std::vector<uint8_t> bytes(data, data + length);
    timeline_.At(nowUs, [this, bytes] {
      for (uint8_t byte : bytes) base_->FromPc(byte);
    });
    return;
  }
  for (size_t i = 0; i < length; ++i) {
    toBaseFreeUs_ = std::max(nowUs, toBaseFreeUs_) + ByteTimeUs();
    const uint8_t byte = data[i];
    timeline_.At(toBaseFreeUs_, [this, byte] { base_->FromPc(byte); });
  }
}

void Station::ToPc(const std::vector<uint8_t>& bytes) {
  if (!pcOpen_ || !understood_)
    return;  // nobody listening, or garbled at the PC's rate
  const uint64_t now = timeline_.Now();
  for (uint8_t byte : bytes) {
    uint64_t arrival = now;
    if (emulateWireTime_)
      arrival = toPcFreeUs_ = std::max(now, toPcFreeUs_) + ByteTimeUs();
    toPc_.push_back(InFlight{arrival, byte});
  }
}

size_t Station::Arrived() const {
  size_t count = 0;
  while (count < toPc_.size() && toPc_[count].arrivalUs <= timeline_.Now()) ++count;
  return count;
}

uint64_t Station::NextArrivalUs() const {
  // A byte that has arrived and is not read yet is due already: a loop that sleeps until this
  // time would otherwise leave it waiting for its whole cap.
  return toPc_.empty() ? UINT64_MAX : toPc_.front().arrivalUs;
}

size_t Station::ToPcAvailable(uint32_t now) {
  AdvanceTo(now);
  return Arrived();
}

size_t Station::ReadToPc(uint8_t* buffer, size_t max, uint32_t now) {
  AdvanceTo(now);
  const size_t count = std::min(max, Arrived());
  bytesRead_ += count;
  for (size_t i = 0; i < count; ++i) {
    buffer[i] = toPc_[i].byte;
    const uint64_t lateness = timeline_.Now() - toPc_[i].arrivalUs;
    worstLatenessUs_ = std::max(worstLatenessUs_, lateness);
    bytesReadLate_ += lateness > Ms(1) ? 1 : 0;
  }
  toPc_.erase(toPc_.begin(), toPc_.begin() + static_cast<std::ptrdiff_t>(count));
  return count;
}

void Station::LogWorstLateness() {
  log_.Add(kSource, "bytes read by the PC at most " + std::to_string(worstLatenessUs_) +
                        " us after their time on the wire; " + std::to_string(bytesReadLate_) +
                        " of " + std::to_string(bytesRead_) + " more than 1 ms");
}

void Station::PurgeToPc(uint32_t now) {
  AdvanceTo(now);
  toPc_.erase(toPc_.begin(), toPc_.begin() + static_cast<std::ptrdiff_t>(Arrived()));
}

}  // namespace sim
