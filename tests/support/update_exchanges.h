#pragma once
#include <cstdint>
#include <string>

// Names the exchanges of an update from the PC's side of the line. Fed with every write the
// PC makes, in order, it says which request a write completed, so that a test device can
// answer it (or fail to) and a test can check what the PC sent.
enum class Exchange {
  kNone,                      // nothing that awaits a reply (or not recognised)
  kIdentification,            // "<V"
  kFirstPoll,                 // 0xC0 on the boot loader network, before the configuration
  kSetupReport,               // "<RS" as the control-parameter dialog opens
  kRow1,                      // "<@:S03CH" + channel
  kRow2,                      // "<@:S04ID" + PAN ID
  kRow3,                      // "<@:P" + module ID + "01I"
  kRow4,                      // "<@:ISH"
  kRow5,                      // "<@:ISL"
  kRow6,                      // "<@:P" + module ID + "11#:C06DH" + SH
  kRow7,                      // "<@:P" + module ID + "11#:C06DL" + SL
  kRow8,                      // "<@:S06DH" + network S/N high part
  kRow9,                      // "<@:S06DL" + network S/N low part
  kModuleToBootLoader,        // "<@:P" + module ID + "03#:Z"
  kSecondPoll,                // 0xC0 once more, before the transfer
  kBootLoaderIdentification,  // the version request; the reply holds the ready byte too
  kPage,                      // a whole 259-byte page frame
  kEndMark,                   // 0xFF 0xFF after the last page
};

const char* ExchangeName(Exchange exchange);

struct HeardRequest {
  Exchange exchange = Exchange::kNone;
  // The request's argument: the channel, the PAN ID, the S/N half; the module ID field (rows
  // 3, 6, 7 and the boot loader command), followed by SH or SL in rows 6 and 7; the whole
  // frame for a page.
  std::string argument;
  int page = -1;  // the frame's page number
};

class UpdateExchanges {
 public:
  // One write call of the PC, as the devices would receive it.
  HeardRequest Hear(const uint8_t* data, uint32_t length);
  // Forget everything: a new attempt.
  void Reset() { *this = UpdateExchanges(); }
  bool InTransfer() const { return transfer_; }

 private:
  enum class Awaiting { kNothing, kArgument, kModuleId, kPayload };
  HeardRequest Complete(Exchange exchange, std::string argument = {});

  Awaiting awaiting_ = Awaiting::kNothing;
  Exchange pending_ = Exchange::kNone;
  std::string moduleId_;
  int polls_ = 0;
  int reports_ = 0;
  bool transfer_ = false;
  std::string frame_;
  bool endMarkStarted_ = false;
};
