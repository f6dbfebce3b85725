#include "console_controls.h"

#include <gtest/gtest.h>

#include <sstream>

#include "console_update_report.h"
#include "core/control_ids.h"
#include "core/message_box.h"
#include "progress_bar.h"
#include "virtual_clock.h"

namespace {
struct Printed {
  std::ostringstream out, err;
  VirtualClock clock;
};

TEST(MemoryControls, RadioButtonsBehaveAsOneGroup) {
  Printed p;
  ConsoleOutput output(p.out, p.err, false);
  ConsoleMainControls controls(output);
  EXPECT_EQ(controls.GetCheckedRadioButton(2001, 2021), 0);
  controls.CheckRadioButton(2001, 2021, 2005);
  controls.CheckRadioButton(2001, 2021, 2003);
  EXPECT_EQ(controls.GetCheckedRadioButton(2001, 2021), 2003);
  EXPECT_EQ(controls.GetCheckedRadioButton(2004, 2021), 0);
  // An id outside the range unchecks the whole group, and only that group.
  controls.CheckRadioButton(3001, 3002, 3001);
  controls.CheckRadioButton(2001, 2021, 0);
  EXPECT_EQ(controls.GetCheckedRadioButton(2001, 2021), 0);
  EXPECT_EQ(controls.GetCheckedRadioButton(3001, 3002), 3001);
}

TEST(MemoryControls, ControlsStartEnabledAndTimersAndEndAreKept) {
  Printed p;
  ConsoleOutput output(p.out, p.err, false);
  ConsoleMainControls controls(output);
  EXPECT_TRUE(controls.IsEnabled(1006));
  controls.Enable(1006, false);
  EXPECT_FALSE(controls.IsEnabled(1006));
  controls.SetTimer(100, 10);
  EXPECT_EQ(controls.TimerId(), 100u);
  EXPECT_EQ(controls.TimerPeriod(), 10u);
  controls.KillTimer(100);
  EXPECT_EQ(controls.TimerPeriod(), 0u);
  controls.EndDialog(2);
  EXPECT_TRUE(controls.Ended());
  EXPECT_EQ(controls.Result(), 2);
}

TEST(ConsoleMainControls, PrintsStatusLinesOnlyWhenTheyChange) {
  Printed p;
  ConsoleOutput output(p.out, p.err, false);
  ConsoleMainControls controls(output);
  controls.SetText(ids::kFirmwareFile, "Firmware file  =  app.hex");
  controls.SetText(ids::kFirmwareFile, "Firmware file  =  app.hex");  // the same again
  controls.SetText(ids::kBootLoaderVersion, "");                      // cleared: nothing
  controls.SetText(ids::kInstructions, "- Press the Begin Update button below.\n");
  controls.SetText(ids::kResult, "Cannot find a Korvane Tessalink.");
  EXPECT_EQ(p.out.str(), "Firmware file  =  app.hex\nCannot find a Korvane Tessalink.\n");
  EXPECT_EQ(controls.GetText(ids::kInstructions), "- Press the Begin Update button below.\n");
}

TEST(ConsoleMainControls, ProgressIsOneLinePerPageWhenNotATerminal) {
  Printed p;
  ConsoleOutput output(p.out, p.err, false);
  ConsoleMainControls controls(output);
  controls.SetText(ids::kProgress, "Sending hex file page  1  of  2");
  controls.SetText(ids::kProgress, "Sending hex file page  2  of  2");
  EXPECT_EQ(p.out.str(), "Sending hex file page  1  of  2\nSending hex file page  2  of  2\n");
}

TEST(ConsoleMainControls, ProgressIsABarRewrittenInPlaceOnATerminal) {
  Printed p;
  ConsoleOutput output(p.out, p.err, true);
  ConsoleMainControls controls(output);
  ConsoleUpdateReport report(output);
  // The bar comes from the transfer's events; the progress line itself is not printed.
  controls.SetText(ids::kProgress, "Sending hex file page  1  of  4");
  report.OnUpdateEvent(update_events::PageFrameSent{1000, 0, 4, 1});
  report.OnUpdateEvent(update_events::PageFrameSent{1500, 0, 4, 2});  // a resend: no new bar
  controls.SetText(ids::kProgress, "Sending hex file page  2  of  4");
  report.OnUpdateEvent(update_events::PageFrameSent{2000, 1, 4, 1});
  controls.SetText(ids::kResult, "Firmware update failed");
  const std::string text = p.out.str();
  EXPECT_EQ(text.find('\n'), text.rfind('\n', text.size() - 2)) << "one line for the bar";
  EXPECT_EQ(text.find("Sending"), std::string::npos) << text;
  EXPECT_NE(text.find("\r[#######.......................] page 1 of 4  25%"), std::string::npos)
      << text;
  EXPECT_NE(text.find("\r[###############...............] page 2 of 4  50%  1.0 pages/s"),
            std::string::npos)
      << text;
  // The bar's line is ended before the next line is printed.
  EXPECT_NE(text.find("bytes/s)\nFirmware update failed\n"), std::string::npos) << text;
}

TEST(ConsoleMainControls, SuccessBoxGoesToStandardOutputEveryOtherBoxToStandardError) {
  struct Case {
    unsigned flags;
    bool toError;
  };
  for (const Case c :
       {Case{mb::kIconInformation, false}, Case{mb::kIconExclamation, true}, Case{mb::kOk, true}}) {
    Printed p;
    ConsoleOutput output(p.out, p.err, false);
    ConsoleMainControls controls(output);
    EXPECT_EQ(controls.MessageBox("Text     \n\n", "Title", c.flags), mb::kIdOk);
    // In full: the trailing blanks and line feeds of the text are kept.
    EXPECT_EQ((c.toError ? p.err : p.out).str(), "[Title]\nText     \n\n\n");
    EXPECT_EQ((c.toError ? p.out : p.err).str(), "");
  }
}

TEST(ProgressLine, RateCountsPagesSinceTheFirstAndStartsOverWithANewTransfer) {
  TransferRate rate;
  EXPECT_LT(rate.PagesPerSecond(), 0);
  rate.PageShown({1, 10}, 1000);
  EXPECT_LT(rate.PagesPerSecond(), 0);
  rate.PageShown({2, 10}, 1500);
  rate.PageShown({5, 10}, 3000);
  EXPECT_DOUBLE_EQ(rate.PagesPerSecond(), 2.0);
  rate.PageShown({1, 10}, 9000);
  EXPECT_LT(rate.PagesPerSecond(), 0);
  EXPECT_EQ(FormatProgressBar({10, 10}, -1), "[##############################] page 10 of 10 100%");
}
}  // namespace
