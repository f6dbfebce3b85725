#include "sim/boot_loader.h"

#include <algorithm>
#include <string>

namespace sim {

namespace {
const char* const kSource = "boot loader";
constexpr char kVersionRequest[] = "#$%-QMM-2.11-644";
constexpr size_t kVersionRequestLength = sizeof kVersionRequest - 1;
constexpr uint8_t kPoll = 0xC0;
constexpr uint8_t kPollAnswer = 0xD0;
constexpr uint8_t kAccepted = '!';
constexpr uint8_t kAgain = '@';
constexpr size_t kPageSize = 256;
constexpr size_t kFrameSize = kPageSize + 3;
}  // namespace

BootLoader::BootLoader(Timeline& timeline, Radio& radio, Air& air, EventLog& log,
                       const Scenario& scenario, const Config& config,
                       std::function<void()> onComplete)
    : timeline_(timeline),
      radio_(radio),
      air_(air),
      log_(log),
      scenario_(scenario),
      config_(config),
      onComplete_(std::move(onComplete)) {}

void BootLoader::Start() {
  phase_ = Phase::kVersion;
  versionMatched_ = 0;
  frame_.clear();
  log_.Add(kSource, "runs");
}

void BootLoader::Reply(std::vector<uint8_t> bytes, uint64_t delayUs, bool dropLinkAfter) {
  timeline_.After(delayUs, [this, bytes = std::move(bytes), dropLinkAfter] {
    radio_.FromHost(bytes);
    if (dropLinkAfter) {
      radio_.Flush();
      air_.GoDead(radio_);
    }
  });
}

void BootLoader::FromRadio(const std::vector<uint8_t>& bytes) {
  heardFromPc_ = heardFromPc_ || (phase_ != Phase::kOff && !bytes.empty());
  if (scenario_.silentBootLoader)
    return;
  for (uint8_t byte : bytes) {
    if (phase_ == Phase::kVersion) {
      VersionByte(byte);
    } else if (phase_ == Phase::kPages) {
      PageByte(byte);
    }
  }
}

void BootLoader::VersionByte(uint8_t byte) {
  if (byte == kPoll && versionMatched_ == 0) {
    log_.Add(kSource, "poll");
    Reply({kPollAnswer}, config_.turnaroundUs);
    return;
  }
  if (byte == static_cast<uint8_t>(kVersionRequest[versionMatched_])) {
    ++versionMatched_;
  } else {
    versionMatched_ = byte == static_cast<uint8_t>(kVersionRequest[0]) ? 1 : 0;
  }
  if (versionMatched_ < kVersionRequestLength)
    return;

  versionMatched_ = 0;
  log_.Add(kSource, "version request");
  std::string identification;
  if (scenario_.versionLeadingLf)
    identification += '\n';
  identification += scenario_.versionText.value_or("QMM-2.11-644");
  identification += scenario_.versionTrailingCrLf ? "\r\n" : "\r";
  Reply({identification.begin(), identification.end()}, config_.turnaroundUs);
  if (!scenario_.noReady) {
    const uint8_t ready = scenario_.readyByte.value_or(kAccepted);
    // ready-twice: one byte duplicated on the radio link.
    Reply(scenario_.readyTwice ? std::vector<uint8_t>{ready, ready} : std::vector<uint8_t>{ready},
          2 * config_.turnaroundUs);
  }
  // A new transfer begins with page 0.
  phase_ = Phase::kPages;
  expectedPage_ = 0;
  frame_.clear();
  image_.clear();
  complete_ = false;
}

void BootLoader::PageByte(uint8_t byte) {
  frame_.push_back(byte);
  const uint64_t token = ++gapToken_;
  timeline_.After(config_.frameGapUs, [this, token] {
    if (token != gapToken_ || phase_ != Phase::kPages || frame_.empty())
      return;
    if (frame_.size() == 1 && frame_[0] == kPoll) {
      // The PC has come back and looks for the boot loader: start over.
      log_.Add(kSource, "poll");
      frame_.clear();
      phase_ = Phase::kVersion;
      Reply({kPollAnswer}, config_.turnaroundUs);
      return;
    }
    log_.Add(kSource, "drops an incomplete frame of " + std::to_string(frame_.size()) + " bytes");
    frame_.clear();
  });
  if (frame_.size() == 2 && frame_[0] == 0xFF && frame_[1] == 0xFF) {
    ++gapToken_;
    frame_.clear();
    phase_ = Phase::kDone;
    complete_ = true;
    log_.Add(kSource,
             "end mark: update complete, " + std::to_string(image_.size() / kPageSize) + " pages");
    if (onComplete_)
      onComplete_();
    return;
  }
  if (frame_.size() < kFrameSize)
    return;
  ++gapToken_;
  std::vector<uint8_t> frame;
  frame.swap(frame_);
  Frame(frame);
}

void BootLoader::Frame(const std::vector<uint8_t>& frame) {
  frames_.push_back(frame);
  const uint16_t page = static_cast<uint16_t>(frame[0] << 8 | frame[1]);
  uint8_t sum = 0;
  for (size_t i = 2; i < 2 + kPageSize; ++i) sum = static_cast<uint8_t>(sum + frame[i]);
  const bool sumOk = sum == frame[kFrameSize - 1];
  // The expected page, or the one just written again (its "!" may have been lost).
  const bool numberOk = page == expectedPage_ || (expectedPage_ > 0 && page == expectedPage_ - 1);
  const std::string name = "page " + std::to_string(page);

  if (std::find(scenario_.noPageReply.begin(), scenario_.noPageReply.end(), page) !=
      scenario_.noPageReply.end()) {
    log_.Add(kSource, name + ": no reply");
    return;
  }
  if (auto reply = scenario_.pageReply.find(page); reply != scenario_.pageReply.end()) {
    log_.Add(kSource, name + ": replies " + Printable(&reply->second, 1));
    Reply({reply->second}, config_.turnaroundUs);
    return;
  }
  if (auto nak = scenario_.nakPage.find(page);
      nak != scenario_.nakPage.end() && naksSent_[page] < nak->second) {
    ++naksSent_[page];
    log_.Add(kSource, name + ": asks for it again");
    Reply({kAgain}, config_.turnaroundUs);
    return;
  }
  if (!sumOk || !numberOk) {
    log_.Add(kSource, name + (sumOk ? ": unexpected page number" : ": bad checksum"));
    Reply({kAgain}, config_.turnaroundUs);
    return;
  }
  const size_t offset = static_cast<size_t>(page) * kPageSize;
  if (image_.size() < offset + kPageSize)
    image_.resize(offset + kPageSize, 0xFF);
  std::copy(frame.begin() + 2, frame.begin() + 2 + kPageSize, image_.begin() + offset);
  if (page == expectedPage_)
    ++expectedPage_;
  log_.Add(kSource, name + ": written");
  const bool drop = scenario_.dropAfterPage && *scenario_.dropAfterPage == page;
  Reply({kAccepted}, config_.pageWriteUs, drop);
}

}  // namespace sim
