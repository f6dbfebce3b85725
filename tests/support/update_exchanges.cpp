#include "update_exchanges.h"

#include <map>
#include <string_view>
#include <utility>

const char* ExchangeName(Exchange exchange) {
  switch (exchange) {
    case Exchange::kNone:
      return "none";
    case Exchange::kIdentification:
      return "base station identification";
    case Exchange::kFirstPoll:
      return "first boot loader poll";
    case Exchange::kSetupReport:
      return "Setup report";
    case Exchange::kRow1:
      return "row 1 (CH)";
    case Exchange::kRow2:
      return "row 2 (ID)";
    case Exchange::kRow3:
      return "row 3 (module ID)";
    case Exchange::kRow4:
      return "row 4 (SH)";
    case Exchange::kRow5:
      return "row 5 (SL)";
    case Exchange::kRow6:
      return "row 6 (module DH)";
    case Exchange::kRow7:
      return "row 7 (module DL)";
    case Exchange::kRow8:
      return "row 8 (DH)";
    case Exchange::kRow9:
      return "row 9 (DL)";
    case Exchange::kModuleToBootLoader:
      return "module to boot loader";
    case Exchange::kSecondPoll:
      return "second boot loader poll";
    case Exchange::kBootLoaderIdentification:
      return "boot loader identification";
    case Exchange::kPage:
      return "page";
    case Exchange::kEndMark:
      return "end mark";
  }
  return "?";
}

HeardRequest UpdateExchanges::Complete(Exchange exchange, std::string argument) {
  awaiting_ = Awaiting::kNothing;
  pending_ = Exchange::kNone;
  HeardRequest heard;
  heard.exchange = exchange;
  heard.argument = std::move(argument);
  return heard;
}

HeardRequest UpdateExchanges::Hear(const uint8_t* data, uint32_t length) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), length);
  if (transfer_) {
    // Frames arrive as page high byte, page low byte, 256 data bytes, checksum; the end mark
    // is 0xFF 0xFF where the next frame's high byte (always 0) would be; six ESC bytes end
    // the relay and the transfer with it.
    if (frame_.empty() && bytes == std::string_view("\x1b\x1b\x1b\x1b\x1b\x1b")) {
      transfer_ = false;
      return {};
    }
    if (frame_.empty() && bytes == "\xFF") {
      if (!endMarkStarted_) {
        endMarkStarted_ = true;
        return {};
      }
      endMarkStarted_ = false;
      return Complete(Exchange::kEndMark);
    }
    frame_.append(bytes);
    if (frame_.size() < 259)
      return {};
    HeardRequest heard = Complete(Exchange::kPage, frame_.substr(0, 259));
    heard.page = static_cast<uint8_t>(frame_[0]) * 256 + static_cast<uint8_t>(frame_[1]);
    frame_.erase(0, 259);
    return heard;
  }

  switch (awaiting_) {
    case Awaiting::kArgument:
      // Rows 6 and 7 address the module: their argument is its ID field, then SH or SL.
      if (pending_ == Exchange::kRow6 || pending_ == Exchange::kRow7)
        return Complete(pending_, moduleId_ + std::string(bytes));
      return Complete(pending_, std::string(bytes));
    case Awaiting::kModuleId:
      moduleId_ = std::string(bytes);
      awaiting_ = Awaiting::kPayload;
      return {};
    case Awaiting::kPayload:
      if (bytes == "01I")
        return Complete(Exchange::kRow3, moduleId_);
      if (bytes == "03#:Z")
        return Complete(Exchange::kModuleToBootLoader, moduleId_);
      if (bytes == "11#:C06DH" || bytes == "11#:C06DL") {
        pending_ = bytes.back() == 'H' ? Exchange::kRow6 : Exchange::kRow7;
        awaiting_ = Awaiting::kArgument;
        return {};
      }
      awaiting_ = Awaiting::kNothing;
      break;
    case Awaiting::kNothing:
      break;
  }

  static const std::map<std::string_view, Exchange> kWithArgument = {{"<@:S03CH", Exchange::kRow1},
                                                                     {"<@:S04ID", Exchange::kRow2},
                                                                     {"<@:S06DH", Exchange::kRow8},
                                                                     {"<@:S06DL", Exchange::kRow9}};
  if (auto found = kWithArgument.find(bytes); found != kWithArgument.end()) {
    pending_ = found->second;
    awaiting_ = Awaiting::kArgument;
    return {};
  }
  if (bytes == "<@:P") {
    awaiting_ = Awaiting::kModuleId;
    return {};
  }
  if (bytes == "<V")
    return Complete(Exchange::kIdentification);
  if (bytes == "<@:ISH")
    return Complete(Exchange::kRow4);
  if (bytes == "<@:ISL")
    return Complete(Exchange::kRow5);
  if (bytes == "\xC0")
    return Complete(polls_++ == 0 ? Exchange::kFirstPoll : Exchange::kSecondPoll);
  if (bytes == "<RS")
    return reports_++ == 0 ? Complete(Exchange::kSetupReport) : Complete(Exchange::kNone);
  if (bytes == "#$%-QMM-2.11-644") {
    transfer_ = true;
    frame_.clear();
    return Complete(Exchange::kBootLoaderIdentification);
  }
  return {};
}
