#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "sim/radio.h"
#include "sim/scenario.h"
#include "sim/timeline.h"

namespace sim {

// The module's boot loader on the boot loader network. It speaks through its radio in
// transparent mode: poll 0xC0 -> 0xD0; version request -> identification, CR, ready "!";
// then 259-byte page frames (page number high/low, 256 data bytes, 8-bit sum of the data),
// each answered "!" (written) or "@" (send it again); 0xFF 0xFF in place of a page number
// ends the update.
class BootLoader {
 public:
  struct Config {
    uint64_t turnaroundUs = Ms(1);
    uint64_t pageWriteUs = Ms(20);
    // A frame that stops arriving for this long is dropped; a lone 0xC0 is then a poll.
    uint64_t frameGapUs = Ms(200);
  };

  BootLoader(Timeline& timeline, Radio& radio, Air& air, EventLog& log, const Scenario& scenario,
             const Config& config, std::function<void()> onComplete);

  // Starts listening for the poll and the version request.
  void Start();
  void Stop() { phase_ = Phase::kOff; }
  void FromRadio(const std::vector<uint8_t>& bytes);

  const std::vector<std::vector<uint8_t>>& PageFrames() const { return frames_; }
  const std::vector<uint8_t>& Image() const { return image_; }
  bool Complete() const { return complete_; }
  // Bytes from the PC have reached it (whether it answered or not).
  bool HeardFromPc() const { return heardFromPc_; }
  // Past the poll and the version request: it takes pages (or has taken them all).
  bool TakingPages() const { return phase_ == Phase::kPages || phase_ == Phase::kDone; }

 private:
  enum class Phase { kOff, kVersion, kPages, kDone };
  void VersionByte(uint8_t byte);
  void PageByte(uint8_t byte);
  void Frame(const std::vector<uint8_t>& frame);
  void Reply(std::vector<uint8_t> bytes, uint64_t delayUs, bool dropLinkAfter = false);

  Timeline& timeline_;
  Radio& radio_;
  Air& air_;
  EventLog& log_;
  const Scenario& scenario_;
  Config config_;
  std::function<void()> onComplete_;

  Phase phase_ = Phase::kOff;
  size_t versionMatched_ = 0;
  std::vector<uint8_t> frame_;
  uint64_t gapToken_ = 0;
  uint16_t expectedPage_ = 0;
  std::map<uint16_t, int> naksSent_;
  std::vector<std::vector<uint8_t>> frames_;
  std::vector<uint8_t> image_;
  bool complete_ = false;
  bool heardFromPc_ = false;
};

}  // namespace sim
