// The events an update reports, in order, against the simulated devices: what a host that
// keeps records (phases, frames, resends, round trips) builds on.
#include "update/update_events.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "update_harness.h"

namespace {
namespace ev = update_events;

// Each event as one line: its type and what it says, ticks apart; the ticks are kept.
struct EventRecorder : UpdateObserver {
  void OnUpdateEvent(const UpdateEvent& event) override {
    ticks.push_back(EventTick(event));
    std::string line = EventType(event);
    std::visit([&](const auto& e) { line += Describe(e); }, event);
    lines.push_back(line);
    if (const auto* built = std::get_if<ev::PageImageBuilt>(&event))
      image.assign(built->image.begin(), built->image.end());
    if (const auto* reply = std::get_if<ev::PageReplied>(&event))
      roundTrips.push_back(reply->roundTripMs);
    if (const auto* finished = std::get_if<ev::UpdateFinished>(&event))
      shown = finished->message;
  }
  static std::string Flag(bool value) { return value ? " yes" : " no"; }
  static std::string Describe(const ev::FirmwareChecked& e) { return Flag(e.passed); }
  static std::string Describe(const ev::PageImageBuilt& e) {
    return " " + std::to_string(e.pages) + " " + std::to_string(e.bytes);
  }
  static std::string Describe(const ev::BaudRateTried& e) {
    return " " + std::to_string(e.baud) + Flag(e.answered) + " " + std::to_string(e.reply.size());
  }
  static std::string Describe(const ev::BootLoaderPolled& e) {
    return " " + std::to_string(e.poll) + Flag(e.answered);
  }
  static std::string Describe(const ev::ParameterReceived& e) {
    return std::string(" ") + ev::ParameterName(e.parameter) + " " + e.text;
  }
  static std::string Describe(const ev::ParameterDialogClosed& e) { return Flag(e.started); }
  static std::string Describe(const ev::RadioExchange& e) {
    return " " + std::to_string(e.row) + " " + e.name + Flag(e.accepted);
  }
  static std::string Describe(const ev::BootLoaderIdentified& e) {
    return " " + e.text + Flag(e.accepted);
  }
  static std::string Describe(const ev::BootLoaderReady& e) {
    return std::string(" ") + static_cast<char>(e.byte) + Flag(e.accepted);
  }
  static std::string Describe(const ev::PageFrameSent& e) {
    return " " + std::to_string(e.page) + "/" + std::to_string(e.pages) + " #" +
           std::to_string(e.send);
  }
  static std::string Describe(const ev::PageReplied& e) {
    return " " + std::to_string(e.page) + " #" + std::to_string(e.send) + " " +
           ev::ReplyName(e.reply) + " " + static_cast<char>(e.byte);
  }
  static std::string Describe(const ev::EndMarkSent& e) { return Flag(e.written); }
  static std::string Describe(const ev::UpdateFinished& e) {
    return std::string(" ") + OutcomeName(e.outcome);
  }
  template <typename Event>
  static std::string Describe(const Event&) {
    return {};
  }

  std::vector<std::string> lines;
  std::vector<uint32_t> ticks;
  std::vector<uint8_t> image;
  std::vector<uint32_t> roundTrips;
  std::string shown;  // the message the update ended with
};

void ExpectTicksInOrder(const EventRecorder& recorder) {
  for (std::size_t i = 1; i < recorder.ticks.size(); ++i) {
    EXPECT_LE(recorder.ticks[i - 1], recorder.ticks[i]) << recorder.lines[i];
  }
}

TEST(UpdateEvents, CompleteUpdateFromAModuleInSetupMode) {
  UpdateHarness h;
  EventRecorder events;
  h.f.dlg->SetUpdateObserver(events);
  const std::string hex = PagesHex(2);
  h.Prepare(hex);
  h.Update();
  const std::vector<std::string> expected = {
      "update_started",
      "firmware_checked yes",
      "page_image_built 2 512",
      "baud_rate_tried 9600 yes 18",
      "boot_loader_polled 1 no",
      "parameter_dialog_opened",
      "parameter_received module_id 123456",
      "parameter_received network_serial 00A2B3C4 41526374",
      "parameter_received pan_id 3332",
      "parameter_received rf_channel 15",
      "parameter_dialog_closed yes",
      "radio_exchange 1 base_channel yes",
      "radio_exchange 2 base_pan_id yes",
      "radio_exchange 3 module_id yes",
      "radio_exchange 4 base_sh yes",
      "radio_exchange 5 base_sl yes",
      "radio_exchange 6 module_dh yes",
      "radio_exchange 7 module_dl yes",
      "radio_exchange 8 base_dh yes",
      "radio_exchange 9 base_dl yes",
      "radio_exchange 10 module_to_boot_loader yes",
      "boot_loader_polled 2 yes",
      "firmware_checked yes",
      "boot_loader_identified QMM-2.11-644 yes",
      "boot_loader_ready ! yes",
      "page_frame_sent 0/2 #1",
      "page_replied 0 #1 byte !",
      "page_frame_sent 1/2 #1",
      "page_replied 1 #1 byte !",
      "end_mark_sent yes",
      "base_station_restored",
      "update_finished success",
  };
  EXPECT_EQ(events.lines, expected);
  ExpectTicksInOrder(events);
  EXPECT_EQ(events.image, ImageOf(hex));
  ASSERT_EQ(h.Boxes().size(), 1u);
  EXPECT_EQ(events.shown, h.Boxes()[0].text);
  // The boot loader takes its time over each page; the round trip shows it.
  for (uint32_t ms : events.roundTrips) EXPECT_GE(ms, 20u);
}

TEST(UpdateEvents, ResendsThenAFailedTransferAndTheRestore) {
  sim::Scenario scenario;
  scenario.baseBaud = 57600;
  scenario.bootLoaderRunning = true;
  scenario.nakPage[1] = 5;
  UpdateHarness h(scenario);
  EventRecorder events;
  h.f.dlg->SetUpdateObserver(events);
  h.Prepare(PagesHex(3));
  h.Update();
  std::vector<std::string> expected = {
      "update_started",
      "firmware_checked yes",
      "page_image_built 3 768",
      "baud_rate_tried 9600 no 0",
      "baud_rate_tried 57600 yes 18",
      "boot_loader_polled 1 yes",
      "boot_loader_polled 2 yes",
      "firmware_checked yes",
      "boot_loader_identified QMM-2.11-644 yes",
      "boot_loader_ready ! yes",
      "page_frame_sent 0/3 #1",
      "page_replied 0 #1 byte !",
  };
  for (int send = 1; send <= 5; ++send) {
    expected.push_back("page_frame_sent 1/3 #" + std::to_string(send));
    expected.push_back("page_replied 1 #" + std::to_string(send) + " byte @");
  }
  expected.push_back("base_station_restored");
  expected.push_back("update_finished transfer_failed");
  EXPECT_EQ(events.lines, expected);
  ExpectTicksInOrder(events);
  // The search at 9600 waited out its 2000 ms for an answer.
  EXPECT_GE(events.ticks[3] - events.ticks[2], 2500u);
  // The failure report, as the user was shown it.
  ASSERT_EQ(h.Boxes().size(), 1u);
  EXPECT_EQ(events.shown, h.Boxes()[0].text);
}

}  // namespace
