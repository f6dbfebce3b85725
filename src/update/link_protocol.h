#pragma once
#include <cstddef>
#include <cstdint>

// The update's side of the serial line, named in one place: what it sends to the base
// station, the base station's radio and the module's boot loader, what it waits for, how
// long, and how often it tries.
namespace protocol {

// Finding the base station: the rates tried in turn, 8 data bits, no parity, 1 stop bit.
constexpr uint32_t kBaudRates[] = {9600, 57600, 14400, 19200, 38400, 115200};
constexpr char kParity = 'N';
constexpr uint8_t kDataBits = 8;
constexpr int kStopBits = 1;
constexpr uint32_t kSettleMs = 500;  // after opening the port, before the first byte
constexpr const char kEndRelay[] = "\x1b\x1b\x1b\x1b\x1b\x1b";
constexpr const char kIdentify[] = "<V";
constexpr const char kIdentification[] = "\rKV-TSLK-00,";  // the first bytes of the reply
constexpr int kIdentificationCompared = 12;
constexpr int kIdentificationLength = 18;
constexpr uint32_t kIdentificationTimeoutMs = 2000;  // counted from before the first byte

// Base station commands around the update.
constexpr const char kRelay[] = "<RP";
constexpr const char kReport[] = "<RS";
constexpr const char kCancelReport[] = "<RN";
constexpr const char kRelease[] = "<W";
constexpr uint32_t kRelayPauseMs = 500;  // around each relay and before closing the port

// Radio parameter command frames sent after "<RP": the boot loader network (PAN 0xD1D3,
// channel 0x0E) with the radio passing bytes transparently.
constexpr uint8_t kPanIdFrame[] = {0x7E, 0x00, 0x06, 0x08, 0x52, 0x49, 0x44, 0xD1, 0xD3, 0x74};
constexpr uint8_t kChannelFrame[] = {0x7E, 0x00, 0x05, 0x08, 0x52, 0x43, 0x48, 0x0E, 0x0C};
constexpr uint8_t kFrameModeFrame[] = {0x7E, 0x00, 0x05, 0x08, 0x52, 0x41, 0x50, 0x00, 0x14};

// The radio's own command mode, reached through the relay: framed mode 2 on channel 0x0E,
// where the module's Setup report is heard. "+++" needs silence on both sides.
constexpr const char kCommandMode[] = "+++";
constexpr uint32_t kCommandModeGuardMs = 1500;
constexpr const char kFrameMode2[] = "ATAP2\r";
constexpr const char kChannel0E[] = "ATCH0e\r";
constexpr const char kLeaveCommandMode[] = "ATCN\r";
constexpr uint32_t kRadioCommandPauseMs = 100;  // between the radio's AT commands
constexpr uint32_t kLeaveCommandModeMs = 500;   // after the last of them

// Radio configuration through the base station's commands.
constexpr const char kModuleAddress[] = "<@:P";  // then the module ID field and the payload
constexpr int kModuleIdFieldLength = 6;          // the module ID, NUL-padded
constexpr int kSetReplyLength = 9;               // the reply to "<@:S" and to "#:C"
constexpr int kReadReplyLength = 13;             // the reply to "<@:I": a 4-byte value
constexpr uint32_t kRadioReplyTimeoutMs = 3000;
constexpr int kModuleIdReplyMax = 15;  // the module's ID line, read up to CR
constexpr uint32_t kModuleIdTimeoutMs = 500;
constexpr uint32_t kBootLoaderStartMs = 200;  // after sending the module into its boot loader

// Radio response frames, as the base station hands them on (byte positions).
constexpr int kFrameStartOffset = 0;
constexpr int kFrameTypeOffset = 3;
constexpr int kParameterOffset = 5;  // two letters
constexpr int kStatusOffset = 7;
constexpr int kValueOffset = 8;
constexpr int kValueLength = 4;  // SH and SL
constexpr uint8_t kFrameStart = 0x7E;
constexpr uint8_t kResponseType = 0x88;
constexpr uint8_t kStatusOk = 0;

// Boot loader poll on the boot loader network.
constexpr const char kPoll[] = "\xC0";
constexpr uint8_t kPollAnswer = 0xD0;
constexpr uint32_t kPollTimeoutMs = 500;

// The paged transfer.
constexpr uint32_t kVersionRequestSettleMs = 100;
constexpr const char kVersionRequest[] = "#$%-QMM-2.11-644";
constexpr const char kBootLoaderId[] = "QMM-2.11-644";
constexpr uint8_t kIdentificationEnd = '\r';
constexpr uint32_t kBootLoaderIdTimeoutMs = 3000;  // from the version request
constexpr std::size_t kBootLoaderIdBuffer = 100;   // a longer reply cannot be valid
constexpr uint8_t kReady = '!';
constexpr uint32_t kReadyTimeoutMs = 2000;  // from the identification
constexpr uint8_t kPageAccepted = '!';
constexpr uint8_t kPageAgain = '@';
constexpr uint32_t kPageReplyTimeoutMs = 3000;  // from the frame's last byte
constexpr int kMaxPageSends = 5;                // the first send and four resends
constexpr uint8_t kEndMark = 0xFF;              // sent twice after the last page
constexpr uint32_t kAfterTransferMs = 500;
}  // namespace protocol
