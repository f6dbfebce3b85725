#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <variant>

#include "update/update_outcome.h"

// What an update does, as data for every host: the dialog shows texts, a console draws its
// progress and summary, a production record keeps phase times. Each event carries the tick
// count at which it happened; every phase boundary is an event:
//   search        UpdateStarted .. the BaudRateTried that answered
//   Setup report  ParameterDialogOpened .. ParameterDialogClosed
//   radio set-up  ParameterDialogClosed .. BootLoaderPolled (poll 2)
//   transfer      BootLoaderPolled (poll 2) .. EndMarkSent
//   restore       .. BaseStationRestored
// and UpdateFinished ends every run. Each alternative names itself (kType) for records.
namespace update_events {

// How a wait for one byte from the devices ended.
enum class Reply { kByte, kTimeout, kFailedRead };
const char* ReplyName(Reply reply);

struct UpdateStarted {
  static constexpr const char* kType = "update_started";
  uint32_t tick = 0;
};

// The firmware file check, at the start of the update and again of the transfer.
struct FirmwareChecked {
  static constexpr const char* kType = "firmware_checked";
  uint32_t tick = 0;
  bool passed = false;
};

// The page image written. `image` is valid only during the callback (to hash it, say).
struct PageImageBuilt {
  static constexpr const char* kType = "page_image_built";
  uint32_t tick = 0;
  std::size_t pages = 0;
  std::size_t bytes = 0;
  std::span<const uint8_t> image;
};

// One rate of the base station search: whether the port opened, whether the base station
// identified itself, and the bytes that came (18 when it did).
struct BaudRateTried {
  static constexpr const char* kType = "baud_rate_tried";
  uint32_t tick = 0;
  int port = 0;
  uint32_t baud = 0;
  bool opened = false;
  bool answered = false;
  std::string reply;
};

// A poll for a running boot loader: 1 before the module is set up (answered: it was already
// running), 2 before the transfer.
struct BootLoaderPolled {
  static constexpr const char* kType = "boot_loader_polled";
  uint32_t tick = 0;
  int poll = 0;
  bool answered = false;
};

// The control-parameter dialog opened: waiting for the module's Setup report.
struct ParameterDialogOpened {
  static constexpr const char* kType = "parameter_dialog_opened";
  uint32_t tick = 0;
};

enum class Parameter { kModuleId, kNetworkSerial, kPanId, kRfChannel };
const char* ParameterName(Parameter parameter);

// One of the module's four control parameters arrived (again), as the dialog shows it.
struct ParameterReceived {
  static constexpr const char* kType = "parameter_received";
  uint32_t tick = 0;
  Parameter parameter = Parameter::kModuleId;
  std::string text;
};

// Start Update (`started`) or Cancel Update ended the dialog.
struct ParameterDialogClosed {
  static constexpr const char* kType = "parameter_dialog_closed";
  uint32_t tick = 0;
  bool started = false;
};

// One row of the radio configuration: what was sent (`command`: the base station command, or
// the payload for the module) and whether the reply was accepted; the rows after a refused
// one are not sent.
struct RadioExchange {
  static constexpr const char* kType = "radio_exchange";
  uint32_t tick = 0;
  int row = 0;  // 1 to 10
  const char* name = "";
  const char* command = "";
  bool accepted = false;
  std::string reply;  // the bytes that came, or the module's ID line
};

// The boot loader's identification: what came before its CR (or before the time-out).
struct BootLoaderIdentified {
  static constexpr const char* kType = "boot_loader_identified";
  uint32_t tick = 0;
  bool accepted = false;
  bool timedOut = false;
  std::string text;
};

// The ready byte after the identification.
struct BootLoaderReady {
  static constexpr const char* kType = "boot_loader_ready";
  uint32_t tick = 0;
  Reply reply = Reply::kTimeout;
  uint8_t byte = 0;
  bool accepted = false;
};

// A page frame written whole; `send` is 1 for the first send of the page, up to 5.
// `discarded`: bytes that were waiting before the frame went out and were dropped unread as
// replies (the boot loader answers each frame once, so they are stale: a duplicated byte, say).
struct PageFrameSent {
  static constexpr const char* kType = "page_frame_sent";
  uint32_t tick = 0;
  int page = 0;  // from 0
  int pages = 0;
  int send = 1;
  int discarded = 0;
};

// The boot loader's reply to a frame, and the time from the frame's last byte to it.
struct PageReplied {
  static constexpr const char* kType = "page_replied";
  uint32_t tick = 0;
  int page = 0;
  int send = 1;
  Reply reply = Reply::kTimeout;
  uint8_t byte = 0;
  uint32_t roundTripMs = 0;
};

struct EndMarkSent {
  static constexpr const char* kType = "end_mark_sent";
  uint32_t tick = 0;
  bool written = false;
};

// "<W" sent and the port closed: the base station is itself again.
struct BaseStationRestored {
  static constexpr const char* kType = "base_station_restored";
  uint32_t tick = 0;
};

// The end of every run, with the message the user was shown (empty on cancel).
struct UpdateFinished {
  static constexpr const char* kType = "update_finished";
  uint32_t tick = 0;
  UpdateOutcome outcome = UpdateOutcome::kNotRun;
  std::string message;
};

}  // namespace update_events

using UpdateEvent =
    std::variant<update_events::UpdateStarted, update_events::FirmwareChecked,
                 update_events::PageImageBuilt, update_events::BaudRateTried,
                 update_events::BootLoaderPolled, update_events::ParameterDialogOpened,
                 update_events::ParameterReceived, update_events::ParameterDialogClosed,
                 update_events::RadioExchange, update_events::BootLoaderIdentified,
                 update_events::BootLoaderReady, update_events::PageFrameSent,
                 update_events::PageReplied, update_events::EndMarkSent,
                 update_events::BaseStationRestored, update_events::UpdateFinished>;

inline const char* EventType(const UpdateEvent& event) {
  return std::visit([](const auto& alternative) { return alternative.kType; }, event);
}

inline uint32_t EventTick(const UpdateEvent& event) {
  return std::visit([](const auto& alternative) { return alternative.tick; }, event);
}

// Where a host hears the events; called on the update's own thread, in order.
class UpdateObserver {
 public:
  virtual ~UpdateObserver() = default;
  virtual void OnUpdateEvent(const UpdateEvent& event) = 0;
};

// For hosts that do not listen: one empty call per event.
class NullUpdateObserver final : public UpdateObserver {
 public:
  void OnUpdateEvent(const UpdateEvent&) override {}
};
