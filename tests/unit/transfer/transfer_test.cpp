// The paged transfer against the simulated boot loader. A boot loader that is already
// running keeps these runs short: no control-parameter dialog, straight to the transfer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "hex_records.h"
#include "update_harness.h"

namespace {

const std::string kDevice = "Korvane Quorvanta Module";
const std::string kSuccessText =
    "The Korvane Quorvanta Module firmware has been successfully updated.     \n\n";

sim::Scenario Running() {
  sim::Scenario s;
  s.bootLoaderRunning = true;
  return s;
}

std::vector<uint8_t> Frame(uint16_t page, const std::vector<uint8_t>& image) {
  std::vector<uint8_t> frame = {static_cast<uint8_t>(page >> 8), static_cast<uint8_t>(page)};
  uint8_t sum = 0;
  for (int i = 0; i < 256; ++i) {
    frame.push_back(image[page * 256 + i]);
    sum = static_cast<uint8_t>(sum + image[page * 256 + i]);
  }
  frame.push_back(sum);
  return frame;
}

std::string ProgressLine(int page, int pages) {
  return "Sending hex file page  " + std::to_string(page) + "  of  " + std::to_string(pages);
}

TEST(Transfer, ThreePagesAcceptedPageByPage) {
  UpdateHarness h(Running());
  const std::string hex = PagesHex(3);
  h.Prepare(hex);
  h.Update();
  const std::vector<uint8_t> image = ImageOf(hex);
  ASSERT_EQ(image.size(), 768u);

  // The version request, three 259-byte frames numbered 0, 1, 2, the end mark, the restore.
  std::string expected = "#$%-QMM-2.11-644";
  for (uint16_t page = 0; page < 3; ++page) {
    const auto frame = Frame(page, image);
    expected.append(frame.begin(), frame.end());
  }
  expected += "\xFF\xFF\x1b\x1b\x1b\x1b\x1b\x1b<W";
  const std::string received = h.BaseReceived();
  ASSERT_GE(received.size(), expected.size());
  EXPECT_EQ(received.substr(received.size() - expected.size()), expected);
  EXPECT_EQ(h.devices.PageFrames().size(), 3u);
  EXPECT_EQ(h.devices.FirmwareImage(), image);
  EXPECT_TRUE(h.devices.UpdateComplete());

  EXPECT_EQ(h.Text(ids::kBootLoaderVersion), "Boot loader version  =  QMM-2.11-644");
  EXPECT_EQ(h.Text(ids::kProgress), ProgressLine(3, 3));
  EXPECT_EQ(h.f.controls.History(ids::kResult).back(),
            "Korvane Quorvanta Module firmware successfully updated");
  ASSERT_EQ(h.Boxes().size(), 1u);
  EXPECT_EQ(h.Boxes()[0].text, kSuccessText);
  EXPECT_EQ(h.Boxes()[0].title, "Firmware Update Complete");
  EXPECT_EQ(h.Boxes()[0].flags, mb::kIconInformation);
  EXPECT_EQ(h.f.profile.GetInt("Settings", "ComPort", -1), 3);
  EXPECT_EQ(h.f.dlg->LastOutcome(), UpdateOutcome::kSuccess);
  EXPECT_FALSE(h.f.dlg->SerialPort().IsOpen());
  EXPECT_FALSE(h.f.dir.Exists("Hex.tmp"));
  EXPECT_EQ(h.f.controls.waitCursorDepth, 0);
}

TEST(Transfer, PageChecksumIsTheSumOfTheDataOnly) {
  // Page 0 all 0xFF (checksum 0x00), page 1 all 0x00 but one 0x05 (checksum 0x05).
  std::vector<uint8_t> zeros(16, 0x00);
  std::string hex;
  for (unsigned address = 0x100; address < 0x200; address += 16) {
    std::vector<uint8_t> data = zeros;
    if (address == 0x180)
      data[3] = 0x05;
    hex += HexRecord(address, data) + "\n";
  }
  hex += HexEndOfFile() + "\n";
  UpdateHarness h(Running());
  h.Prepare(hex);
  h.Update();
  const auto& frames = h.devices.PageFrames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0][0], 0x00);
  EXPECT_EQ(frames[0][1], 0x00);
  EXPECT_EQ(frames[0][258], 0x00);
  EXPECT_EQ(frames[1][1], 0x01);
  EXPECT_EQ(frames[1][258], 0x05);
}

TEST(Transfer, ResendsAPageUpToFiveTimes) {
  sim::Scenario fourNaks = Running();
  fourNaks.nakPage[1] = 4;
  UpdateHarness h(fourNaks);
  h.Prepare(PagesHex(3));
  h.Update();
  const auto& frames = h.devices.PageFrames();
  ASSERT_EQ(frames.size(), 3u + 4u);
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(frames[i], frames[1]) << i;
  const auto& progress = h.f.controls.History(ids::kProgress);
  EXPECT_EQ(std::count(progress.begin(), progress.end(), ProgressLine(2, 3)), 1);
  EXPECT_EQ(h.f.controls.dispatches, 3);  // one message per first send
  EXPECT_EQ(h.f.dlg->LastOutcome(), UpdateOutcome::kSuccess);
}

TEST(Transfer, RepaintsOnEveryEighthPageAndDispatchesOneMessagePerPage) {
  UpdateHarness h(Running());
  h.Prepare(PagesHex(17));
  h.Update();
  EXPECT_EQ(h.f.controls.repaints, 3);  // pages shown as 1, 9 and 17
  EXPECT_EQ(h.f.controls.dispatches, 17);
  EXPECT_EQ(h.Text(ids::kProgress), ProgressLine(17, 17));
}

std::string Reason(const std::string& phrase) {
  return phrase + kDevice + ".     ";
}

struct FailureCase {
  const char* name;
  sim::Scenario scenario;
  std::function<bool(uint8_t&)> filter;
  std::string reason;
  std::string bootLoaderLine;  // 1007 afterwards
  std::string progressLine;    // 1010 afterwards
  size_t framesReceived;
};

TEST(Transfer, EveryFailureEndsWithTheReportAndTheRestore) {
  auto with = [](auto change) {
    sim::Scenario s = Running();
    change(s);
    return s;
  };
  const std::string version = "Boot loader version  =  QMM-2.11-644";
  bool sawCr = false;
  const FailureCase cases[] = {
      {"fifth resend request", with([](sim::Scenario& s) { s.nakPage[1] = 5; }), nullptr,
       Reason("Invalid ready response from the "), version, ProgressLine(2, 3), 1 + 5},
      {"identification preceded by LF", with([](sim::Scenario& s) { s.versionLeadingLf = true; }),
       nullptr, Reason("Invalid version response from the "), "", "", 0},
      {"identification followed by CR LF",
       with([](sim::Scenario& s) { s.versionTrailingCrLf = true; }), nullptr,
       Reason("Invalid ready response from the "), version, "", 0},
      {"wrong identification", with([](sim::Scenario& s) { s.versionText = "QMM-2.11-645"; }),
       nullptr, Reason("Invalid version response from the "), "", "", 0},
      {"identification without CR", Running(),
       [&, inIdentification = false](uint8_t& b) mutable {
         inIdentification = inIdentification || b == 'Q';
         if (!inIdentification || b != '\r')
           return true;
         sawCr = true;
         return false;
       },
       Reason("No response from the "), "", "", 0},
      {"no ready byte", with([](sim::Scenario& s) { s.noReady = true; }), nullptr,
       Reason("No ready response from the "), version, "", 0},
      {"wrong ready byte", with([](sim::Scenario& s) { s.readyByte = '?'; }), nullptr,
       Reason("Invalid ready response from the "), version, "", 0},
      {"no page reply", with([](sim::Scenario& s) { s.noPageReply = {2}; }), nullptr,
       Reason("No response from the "), version, ProgressLine(3, 3), 3},
      {"wrong page reply", with([](sim::Scenario& s) { s.pageReply[0] = 'x'; }), nullptr,
       Reason("Invalid ready response from the "), version, ProgressLine(1, 3), 1},
      {"link drops after page 1", with([](sim::Scenario& s) { s.dropAfterPage = 1; }), nullptr,
       Reason("No response from the "), version, ProgressLine(3, 3), 2},
  };
  for (const auto& c : cases) {
    UpdateHarness h(c.scenario);
    h.serial.filter = c.filter;
    h.Prepare(PagesHex(3));
    h.Update();
    SCOPED_TRACE(c.name);
    ASSERT_EQ(h.Boxes().size(), 1u);
    EXPECT_EQ(h.Boxes()[0].text.substr(0, c.reason.size() + 30),
              c.reason + "\n\nFirmware update terminated.\n");
    EXPECT_EQ(h.Boxes()[0].title, "Firmware Update Error");
    EXPECT_EQ(h.Boxes()[0].flags, mb::kIconExclamation);
    EXPECT_EQ(h.Text(ids::kResult), "Firmware update failed");
    EXPECT_EQ(h.Text(ids::kBootLoaderVersion), c.bootLoaderLine);
    EXPECT_EQ(h.Text(ids::kProgress), c.progressLine);
    EXPECT_EQ(h.devices.PageFrames().size(), c.framesReceived);
    EXPECT_FALSE(h.devices.UpdateComplete());
    EXPECT_EQ(h.f.profile.writes, 0);
    EXPECT_EQ(h.f.dlg->LastOutcome(), UpdateOutcome::kTransferFailed);
    EXPECT_FALSE(h.f.dlg->SerialPort().IsOpen());
    EXPECT_FALSE(h.f.dir.Exists("Hex.tmp"));
    const std::string received = h.BaseReceived();
    if (!h.devices.LinkDropped()) {
      EXPECT_EQ(received.substr(received.size() - 8), "\x1b\x1b\x1b\x1b\x1b\x1b<W");
    }
  }
  EXPECT_TRUE(sawCr);
}

TEST(Transfer, IdentificationTimeOutReportReadsInFull) {
  UpdateHarness h(Running());
  h.serial.filter = [inIdentification = false](uint8_t& b) mutable {
    inIdentification = inIdentification || b == 'Q';
    return !inIdentification || b != '\r';
  };
  h.Prepare(PagesHex(1));
  h.Update();
  ASSERT_EQ(h.Boxes().size(), 1u);
  EXPECT_EQ(h.Boxes()[0].text,
            "No response from the Korvane Quorvanta Module.     \n"
            "\n"
            "Firmware update terminated.\n"
            "\n"
            "If some of the hex file was transferred, the firmware in the Korvane Quorvanta "
            "Module may be corrupt.     \n"
            "\n"
            "You should retry the firmware update procedure.\n"
            "\n"
            "If you continue to have problems, contact Halvenmoor Systems for support.\n"
            "     Office hours 8:00 AM to 5:00 PM Eastern Time (UTC-5)\n"
            "     (614) 555-0142\n"
            "     support@halvenmoor.example\n"
            "     www.halvenmoor.example\n"
            "\n");
}

TEST(Transfer, IdentificationThatNeverEndsIsRefusedWithoutOverrunningItsBuffer) {
  // On a scripted channel: identification bytes without a CR, one past the buffer and far
  // past it; the byte that does not fit ends the wait at once.
  for (std::size_t length : {101u, 150u}) {
    DialogFixture f;
    f.WriteFirmware(PagesHex(1));
    f.dlg->OnInitDialog();
    ASSERT_EQ(f.dlg->SerialPort().Open(3, 9600, 'N', 8, 1), 1);
    const uint32_t start = f.clock.Now();
    f.scripted.Arrive(std::string(length, 'Q'), 150);
    f.dlg->TransferHexPages();
    SCOPED_TRACE(length);
    ASSERT_EQ(f.controls.messageBoxes.size(), 1u);
    EXPECT_EQ(f.controls.messageBoxes[0].text.substr(0, 52),
              "Invalid version response from the Korvane Quorvanta ");
    EXPECT_LT(f.clock.Now() - start, 1000u) << "not after the 3000 ms time-out";
    EXPECT_EQ(f.controls.GetText(ids::kBootLoaderVersion), "");
    EXPECT_EQ(f.scripted.written, "#$%-QMM-2.11-644");
  }
}

TEST(Transfer, PageImageTheBootLoaderCannotTakeIsRefusedBeforeAnyPage) {
  // Handed to the transfer directly (the build refuses to make them): 256 pages, whose count
  // would wrap to 0 in the boot loader's byte, and a last page cut short.
  for (std::size_t length : {256u * 256u, 2u * 256u + 100u}) {
    DialogFixture f;
    f.WriteFirmware(PagesHex(1));
    f.dlg->OnInitDialog();
    f.dir.Write("Hex.tmp", std::string(length, '\x5A'));
    ASSERT_EQ(f.dlg->SerialPort().Open(3, 9600, 'N', 8, 1), 1);
    f.scripted.Arrive("QMM-2.11-644\r!", 150);
    f.dlg->TransferHexPages();
    SCOPED_TRACE(length);
    ASSERT_EQ(f.controls.messageBoxes.size(), 1u);
    EXPECT_EQ(f.controls.messageBoxes[0].text,
              "Unable to open the temporary firmware file.               ");
    EXPECT_EQ(f.scripted.written, "#$%-QMM-2.11-644");
    EXPECT_EQ(f.dlg->LastOutcome(), UpdateOutcome::kTransferFailed);
  }
}

TEST(Transfer, MissingPageImageGetsItsOwnPlainBox) {
  UpdateHarness h(Running());
  h.Prepare(PagesHex(2));
  // The page image disappears once the boot loader has identified itself.
  h.f.controls.onSetText = [&](int id, const std::string& text) {
    if (id == ids::kBootLoaderVersion && !text.empty()) {
      std::filesystem::remove(h.f.dir.File("Hex.tmp"));
    }
  };
  h.Update();
  ASSERT_EQ(h.Boxes().size(), 1u);
  EXPECT_EQ(h.Boxes()[0].text, "Unable to open the temporary firmware file.               ");
  EXPECT_EQ(h.Boxes()[0].title, "Firmware Update Error");
  EXPECT_EQ(h.Boxes()[0].flags, mb::kOk);
  EXPECT_EQ(h.Text(ids::kResult), "");
  EXPECT_TRUE(h.devices.PageFrames().empty());
  const std::string received = h.BaseReceived();
  EXPECT_EQ(received.substr(received.size() - 24), "#$%-QMM-2.11-644\x1b\x1b\x1b\x1b\x1b\x1b<W");
}

TEST(Transfer, PageReplyLateInsideItsTimeOutIsAccepted) {
  sim::Options slowPages = UpdateHarness::DefaultOptions();
  slowPages.pageWriteMs = 2500;
  UpdateHarness h(Running(), slowPages);
  h.Prepare(PagesHex(2));
  h.Update();
  EXPECT_EQ(h.f.dlg->LastOutcome(), UpdateOutcome::kSuccess);
  EXPECT_TRUE(h.devices.UpdateComplete());
}

TEST(Transfer, SmallestAndLargestImages) {
  for (int pages : {1, 255}) {
    UpdateHarness h(Running());
    const std::string hex = PagesHex(pages, pages == 255 ? 32 : 16);
    h.Prepare(hex);
    h.Update();
    SCOPED_TRACE(pages);
    EXPECT_EQ(h.f.dlg->LastOutcome(), UpdateOutcome::kSuccess);
    EXPECT_EQ(h.devices.PageFrames().size(), static_cast<size_t>(pages));
    EXPECT_EQ(h.devices.FirmwareImage(), ImageOf(hex));
    EXPECT_EQ(h.Text(ids::kProgress), ProgressLine(pages, pages));
  }
}

}  // namespace

namespace {
// The ready byte duplicated on the radio link: the spare "!" waits before page 0's frame goes
// out. Taken for page 0's reply, it would leave the program one reply behind, and a later
// refusal would never be read: a success with a page missing. The dialog program's procedure,
// on virtual time, with the refusal at each page in turn.
TEST(Transfer, ASpareReadyByteIsNeverTakenForAPageReply) {
  for (int refused = 0; refused < 4; ++refused) {
    SCOPED_TRACE(refused);
    sim::Scenario scenario = Running();
    scenario.readyTwice = true;
    scenario.nakPage[refused] = 1;
    UpdateHarness h(scenario);
    const std::string hex = PagesHex(4);
    h.Prepare(hex);
    h.Update();
    ASSERT_EQ(h.f.dlg->LastOutcome(), UpdateOutcome::kSuccess);
    EXPECT_TRUE(h.devices.UpdateComplete());
    EXPECT_EQ(h.devices.FirmwareImage(), ImageOf(hex)) << "every page in the module";
    EXPECT_EQ(h.devices.PageFrames().size(), 5u) << "four pages and the one resend";
  }
}
}  // namespace
