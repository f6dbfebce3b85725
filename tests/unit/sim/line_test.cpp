// Two base stations in one room on virtual time: both hear a module's report, one station turns
// it down, the other updates it; who did what is kept with each module.
#include "sim/line.h"

#include <gtest/gtest.h>

#include "pc_script.h"

namespace simtest {
namespace {

using namespace std::string_literals;

// One station's PC, talking straight to its sim::Station on the line's millisecond clock.
struct StationPc {
  sim::Line& line;
  uint32_t& now;
  size_t station;

  void Say(const std::string& text) {
    line.GetStation(station).FromPc(reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                                    now);
  }
  std::string Hear(uint32_t ms) {
    now += ms;
    char buffer[4096];
    const size_t n =
        line.GetStation(station).ReadToPc(reinterpret_cast<uint8_t*>(buffer), sizeof buffer, now);
    return std::string(buffer, n);
  }
};

sim::LineModule RoomModule(const std::string& text) {
  sim::LineModule entry;
  std::string error;
  EXPECT_TRUE(sim::ParseLineModule(text, entry, error)) << error;
  return entry;
}

TEST(OpenAirLine, AModuleTurnedDownByOneStationIsUpdatedByTheOther) {
  sim::Options options;
  options.pressSetupAfterReportModeMs = 300;
  sim::LineOptions room;
  room.stations = 2;
  room.openAir = true;
  sim::Line line({RoomModule("id=111111,serial=00A2B3C4-00000001"),
                  RoomModule("id=222222,serial=00A2B3C4-00000002")},
                 options, room);
  uint32_t now = 1000;
  StationPc one{line, now, 0}, two{line, now, 1};
  for (StationPc* pc : {&one, &two}) {
    line.GetStation(pc->station).PcOpened(LineSettings{}, now);
    pc->Say("<@:S04ID\xD1\xD3<@:S03CH\x0E<RS");
  }
  const std::string heard = one.Hear(500);
  EXPECT_NE(heard.find("Module ID.............  111111\r"), std::string::npos);
  // The operator presses the next button only once module 1 is configured.
  EXPECT_EQ(heard.find("Module ID.............  222222\r"), std::string::npos);
  one.Say("<RN<W");  // station 1 turns module 1 down; station 2 still holds it
  EXPECT_FALSE(line.Slot(0).takenAway);

  // Station 2 points module 1's boot loader and its own radio at each other.
  two.Say(
      "<RN<@:S04ID\x33\x32<@:S03CH\x0F<@:P11111111#:C06DH\x00\xA2\xB3\xC4"
      "<@:P11111111#:C06DL\x40\x11\x22\x34<@:P11111103#:Z"
      "<@:S06DH\x00\xA2\xB3\xC4<@:S06DL\x00\x00\x00\x01<RP"s +
      StoredFrames());
  two.Hear(300);
  two.Say("#$%-QMM-2.11-644");
  EXPECT_EQ(two.Hear(100), "QMM-2.11-644\r!");
  const std::vector<uint8_t> page = SampleImage(1);
  two.Say(PageFrame(page, 0));
  EXPECT_EQ(two.Hear(100), "!");
  two.Say("\xFF\xFF");
  two.Hear(200);
  two.Say(Esc6() + "<W");
  two.Hear(10);

  const sim::ModuleSlot& updated = line.Slot(0);
  EXPECT_TRUE(updated.takenAway);
  EXPECT_EQ(updated.module->Loader().Image(), page);
  EXPECT_EQ(updated.heardBy, (std::vector<size_t>{1, 2}));
  EXPECT_EQ(updated.configuredBy, std::vector<size_t>{2});
  EXPECT_EQ(line.UpdatedBy(0), 2u);
  ASSERT_EQ(line.ModuleCommands(0).size(), 1u);
  EXPECT_EQ(line.ModuleCommands(0)[0].second.back(), "<W");
  // Module 2, pressed while no station forwarded reports, waits for a station to take it.
  EXPECT_FALSE(line.Slot(1).takenAway);
  EXPECT_TRUE(line.Slot(1).heardBy.empty());
  EXPECT_FALSE(line.Finished());
}

// tessalink-sim sleeps until TicksUntilNextActivity says: a reply byte that arrived after the
// PC's last read, and is not read yet, is due at once, not after the whole cap (10 ms late).
TEST(Line, AByteArrivedButNotReadIsDueAtOnce) {
  sim::Options options;
  options.tickUs = 1;
  options.emulateWireTime = true;
  sim::LineOptions boxes;
  boxes.stations = 1;
  sim::Line line({sim::LineModule{}}, options, boxes);
  sim::Station& station = line.GetStation(0);
  uint32_t now = 1000;
  station.PcOpened(LineSettings{}, now);
  station.FromPc(reinterpret_cast<const uint8_t*>("<V"), 2, now);
  while (station.ToPcAvailable(now) == 0) ++now;
  uint8_t byte = 0;
  ASSERT_EQ(station.ReadToPc(&byte, 1, now), 1u);
  EXPECT_EQ(line.TicksUntilNextActivity(now, 10000), 1042u);  // the next byte, at 9600 baud
  now += 30000;                                               // the other 17 have arrived
  EXPECT_EQ(line.TicksUntilNextActivity(now, 10000), 0u);
}

}  // namespace
}  // namespace simtest
