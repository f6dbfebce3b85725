// Both radios pointed at each other through the base station's commands, as a table of
// exchanges walked in order; the first reply that is not accepted ends the configuration.
#include <cstring>
#include <span>
#include <string>

#include "update/link_protocol.h"
#include "update/update_steps.h"

namespace update {
namespace {
// The value bytes a row sends after its command.
enum class Value { kNone, kChannel, kPanId, kBaseSh, kBaseSl, kSerialHigh, kSerialLow };
// What a row waits for.
enum class Awaits { kSetReply, kReadReply, kModuleIdLine, kNothing };

struct RadioRow {
  const char* name;
  bool toModule;  // "<@:P" and the module ID field go first: the command is the payload
  const char* command;
  Value value;
  Awaits awaits;
  // A reply frame must carry this parameter name (nullptr: any) and hold at least `needed`
  // bytes, every byte examined or used, so that nothing of an earlier reply is taken for it.
  const char* parameter = nullptr;
  int needed = 0;
  Value stores = Value::kNone;  // where a read reply's value goes
};

constexpr int kWholeSetReply = protocol::kSetReplyLength;
constexpr int kThroughStatus = protocol::kStatusOffset + 1;
constexpr int kThroughValue = protocol::kValueOffset + protocol::kValueLength;

constexpr RadioRow kRows[] = {
    // The base station's radio onto the module's channel and PAN.
    {"base_channel", false, "<@:S03CH", Value::kChannel, Awaits::kSetReply, "CH", kWholeSetReply},
    {"base_pan_id", false, "<@:S04ID", Value::kPanId, Awaits::kSetReply, "ID", kWholeSetReply},
    // The right module answers.
    {"module_id", true, "01I", Value::kNone, Awaits::kModuleIdLine},
    // The base station's radio address ...
    {"base_sh", false, "<@:ISH", Value::kNone, Awaits::kReadReply, nullptr, kThroughValue,
     Value::kBaseSh},
    {"base_sl", false, "<@:ISL", Value::kNone, Awaits::kReadReply, nullptr, kThroughValue,
     Value::kBaseSl},
    // ... becomes the module's radio destination ...
    {"module_dh", true, "11#:C06DH", Value::kBaseSh, Awaits::kSetReply, "DH", kThroughStatus},
    {"module_dl", true, "11#:C06DL", Value::kBaseSl, Awaits::kSetReply, "DL", kThroughStatus},
    // ... and the module's address the base station's.
    {"base_dh", false, "<@:S06DH", Value::kSerialHigh, Awaits::kSetReply, "DH", kThroughStatus},
    {"base_dl", false, "<@:S06DL", Value::kSerialLow, Awaits::kSetReply, "DL", kThroughStatus},
    // The module into its boot loader; nothing comes back.
    {"module_to_boot_loader", true, "03#:Z", Value::kNone, Awaits::kNothing},
};

struct BaseAddress {
  uint8_t sh[protocol::kValueLength] = {};
  uint8_t sl[protocol::kValueLength] = {};
};

std::span<const uint8_t> ValueBytes(Value value, const ModuleParameters& module,
                                    const BaseAddress& base) {
  switch (value) {
    case Value::kChannel:
      return {&module.channel, 1};
    case Value::kPanId:
      return module.panId;
    case Value::kBaseSh:
      return base.sh;
    case Value::kBaseSl:
      return base.sl;
    case Value::kSerialHigh:
      return module.serialHigh;
    case Value::kSerialLow:
      return module.serialLow;
    case Value::kNone:
      break;
  }
  return {};
}

void Send(CSerialPort& port, const RadioRow& row, const ModuleParameters& module,
          const BaseAddress& base) {
  if (row.toModule) {
    port.WriteString(protocol::kModuleAddress);
    port.Write(module.moduleIdField, protocol::kModuleIdFieldLength);
  }
  port.WriteString(row.command);
  const std::span<const uint8_t> value = ValueBytes(row.value, module, base);
  if (!value.empty())
    port.Write(value.data(), static_cast<int>(value.size()));
}

bool FrameAccepted(const RadioRow& row, const uint8_t* frame, int received) {
  if (received < row.needed || frame[protocol::kFrameStartOffset] != protocol::kFrameStart ||
      frame[protocol::kFrameTypeOffset] != protocol::kResponseType ||
      frame[protocol::kStatusOffset] != protocol::kStatusOk) {
    return false;
  }
  return row.parameter == nullptr || (frame[protocol::kParameterOffset] == row.parameter[0] &&
                                      frame[protocol::kParameterOffset + 1] == row.parameter[1]);
}

// Waits for the row's reply and keeps what it is for; `reply` gets what came.
bool Accepted(LinkContext& link, const RadioRow& row, const ModuleParameters& module,
              BaseAddress& base, std::string& reply) {
  CSerialPort& port = link.port;
  if (row.awaits == Awaits::kNothing)
    return true;
  if (row.awaits == Awaits::kModuleIdLine) {
    char line[protocol::kModuleIdReplyMax + 1];
    port.ReadLine(line, protocol::kModuleIdReplyMax, protocol::kModuleIdTimeoutMs,
                  static_cast<char>(protocol::kIdentificationEnd));
    reply = line;
    return std::strcmp(line, module.moduleIdField) == 0;
  }
  // Cleared first, so that a missing reply fails the start byte.
  uint8_t frame[protocol::kReadReplyLength] = {};
  const int length =
      row.awaits == Awaits::kReadReply ? protocol::kReadReplyLength : protocol::kSetReplyLength;
  const int received = port.ReadBytes(frame, length, protocol::kRadioReplyTimeoutMs);
  reply.assign(reinterpret_cast<const char*>(frame), static_cast<std::size_t>(received));
  if (!FrameAccepted(row, frame, received))
    return false;
  if (row.stores == Value::kBaseSh)
    std::memcpy(base.sh, frame + protocol::kValueOffset, protocol::kValueLength);
  if (row.stores == Value::kBaseSl)
    std::memcpy(base.sl, frame + protocol::kValueOffset, protocol::kValueLength);
  return true;
}
}  // namespace

bool ConfigureRadios(LinkContext& link, const ModuleParameters& module) {
  BaseAddress base;
  int number = 0;
  for (const RadioRow& row : kRows) {
    Send(link.port, row, module, base);
    update_events::RadioExchange exchange;
    exchange.row = ++number;
    exchange.name = row.name;
    exchange.command = row.command;
    exchange.accepted = Accepted(link, row, module, base, exchange.reply);
    exchange.tick = link.Now();
    link.Emit(exchange);
    if (!exchange.accepted)
      return false;
  }
  return true;
}

}  // namespace update
