#pragma once
#include <cstdint>

// Bytes the update sends to the base station, its radio and the module's boot loader.
namespace link {
constexpr const char kEndRelay[] = "\x1b\x1b\x1b\x1b\x1b\x1b";
constexpr const char kIdentify[] = "<V";
constexpr const char kIdentification[] = "\rKV-TSLK-00,";  // first 12 of the 18-byte reply
constexpr int kIdentificationLength = 18;
constexpr const char kRelay[] = "<RP";
constexpr const char kReport[] = "<RS";
constexpr const char kCancelReport[] = "<RN";
constexpr const char kRelease[] = "<W";

// Radio parameter command frames sent after "<RP": the boot loader network (PAN 0xD1D3,
// channel 0x0E) with the radio passing bytes transparently.
constexpr uint8_t kPanIdFrame[] = {0x7E, 0x00, 0x06, 0x08, 0x52, 0x49, 0x44, 0xD1, 0xD3, 0x74};
constexpr uint8_t kChannelFrame[] = {0x7E, 0x00, 0x05, 0x08, 0x52, 0x43, 0x48, 0x0E, 0x0C};
constexpr uint8_t kFrameModeFrame[] = {0x7E, 0x00, 0x05, 0x08, 0x52, 0x41, 0x50, 0x00, 0x14};

// The radio's own command mode, reached through the relay.
constexpr const char kCommandMode[] = "+++";
constexpr const char kFrameMode2[] = "ATAP2\r";
constexpr const char kChannel0E[] = "ATCH0e\r";
constexpr const char kLeaveCommandMode[] = "ATCN\r";

// Radio response frames.
constexpr uint8_t kFrameStart = 0x7E;
constexpr uint8_t kResponseType = 0x88;

// Boot loader.
constexpr const char kPoll[] = "\xC0";
constexpr uint8_t kPollAnswer = 0xD0;
constexpr const char kVersionRequest[] = "#$%-QMM-2.11-644";
constexpr const char kBootLoaderId[] = "QMM-2.11-644";
constexpr uint8_t kReady = '!';
constexpr uint8_t kPageAccepted = '!';
constexpr uint8_t kPageAgain = '@';
constexpr uint8_t kEndMark = 0xFF;
constexpr int kPageSize = 256;
constexpr int kMaxPageSends = 5;
}  // namespace link
