#include "host_cost.h"

#include <cstring>
#include <streambuf>
#include <string>

#include "console_output.h"
#include "console_presenter.h"
#include "console_update_report.h"
#include "firmware/firmware_bundle.h"
#include "firmware/page_image_store.h"
#include "hex_corpus.h"
#include "temp_directory.h"
#include "update/update_procedure.h"
#include "virtual_clock.h"

namespace {

// Takes everything and keeps nothing, as a terminal that is not looked at.
class DiscardBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

// The boot loader's side of a transfer with no time in between: the identification and the
// ready byte right after the version request, "!" right after every complete frame.
class InstantBootLoader : public SerialBackend {
 public:
  bool Open(int, const LineSettings&) override {
    matched_ = 0;
    frameBytes_ = 0;
    sum_ = 0;
    inPages_ = false;
    complete_ = false;
    return true;
  }
  void Close() override {}
  uint32_t BytesWaiting() override { return static_cast<uint32_t>(replies_.size() - head_); }
  uint32_t Read(uint8_t* buffer, uint32_t max) override {
    uint32_t count = 0;
    while (count < max && head_ < replies_.size())
      buffer[count++] = static_cast<uint8_t>(replies_[head_++]);
    if (head_ == replies_.size()) {
      replies_.clear();
      head_ = 0;
    }
    return count;
  }
  bool Write(const uint8_t* data, uint32_t length) override {
    for (uint32_t i = 0; i < length; ++i) Take(data[i]);
    return true;
  }
  bool PurgeInput() override {
    replies_.clear();
    head_ = 0;
    return true;
  }
  int Frames() const { return frames_; }
  bool Complete() const { return complete_; }
  void ResetCounts() { frames_ = 0; }

 private:
  void Take(uint8_t byte) {
    static const char kRequest[] = "#$%-QMM-2.11-644";
    if (!inPages_) {
      matched_ = byte == static_cast<uint8_t>(kRequest[matched_]) ? matched_ + 1 : 0;
      if (matched_ == sizeof kRequest - 1) {
        replies_ += "QMM-2.11-644\r!";
        inPages_ = true;
      }
      return;
    }
    // Counted rather than kept, so that the boot loader adds little to what is measured.
    if (frameBytes_ < 2) {
      number_[frameBytes_++] = byte;
      if (frameBytes_ == 2 && number_[0] == 0xFF && number_[1] == 0xFF) {
        complete_ = true;
        inPages_ = false;
        frameBytes_ = 0;
      }
      return;
    }
    if (frameBytes_ < 258) {
      sum_ = static_cast<uint8_t>(sum_ + byte);
      ++frameBytes_;
      return;
    }
    replies_ += sum_ == byte ? '!' : '@';
    ++frames_;
    frameBytes_ = 0;
    sum_ = 0;
  }

  std::string replies_;
  std::size_t head_ = 0;
  std::size_t frameBytes_ = 0;
  uint8_t number_[2] = {};
  uint8_t sum_ = 0;
  std::size_t matched_ = 0;
  bool inPages_ = false;
  bool complete_ = false;
  int frames_ = 0;
};

// The transfer never asks for a Setup report.
class NoInput : public ConsoleInput {
 public:
  Event Wait(uint32_t) override { return Event::kNone; }
};
class NoInterrupts : public InterruptCounter {
 public:
  int Count() const override { return 0; }
};
}  // namespace

struct HostCostBench::Parts {
  explicit Parts(bool terminal)
      : out(&discard),
        output(out, out, terminal),
        prompt(clock, output, input, interrupts, true),
        presenter(output, prompt),
        report(output),
        port(bootLoader, clock) {}

  DiscardBuffer discard;
  std::ostream out;
  ConsoleOutput output;
  VirtualClock clock;
  NoInput input;
  NoInterrupts interrupts;
  SetupPrompt prompt;
  // The console's presenter, and its progress bar drawn from the transfer's events.
  ConsolePresenter presenter;
  ConsoleUpdateReport report;
  InstantBootLoader bootLoader;
  CSerialPort port;
  TempDirectory directory;
  FirmwareBundle firmware;
  PageImageInMemory image;
};

HostCostBench::HostCostBench(int pages, bool terminal)
    : pages_(pages), parts_(std::make_unique<Parts>(terminal)) {
  parts_->directory.Write("Korvane_Quorvanta_Mobile_Module.txt", "3.05\r\nfirmware.hex\r\n");
  parts_->directory.Write("firmware.hex", ImageHex(pages, 16));
  parts_->firmware.SetDirectory(parts_->directory.WithSeparator());
  parts_->firmware.ReadDescription();
  parts_->image.Build(parts_->firmware.HexFilePath());
}

HostCostBench::~HostCostBench() = default;

bool HostCostBench::Transfer() {
  CSerialPort& port = parts_->port;
  if (port.Open(3, 9600, 'N', 8, 1) != 1)
    return false;
  parts_->bootLoader.ResetCounts();
  LinkContext link{port, parts_->clock, parts_->report, {}};
  const UpdateResult result =
      update::TransferHexPages(link, parts_->presenter, {parts_->firmware, parts_->image, 3});
  port.Close();
  return result.outcome == UpdateOutcome::kSuccess && parts_->bootLoader.Complete() &&
         parts_->bootLoader.Frames() == pages_;
}
