#include "console_presenter.h"

#include <gtest/gtest.h>

#include <sstream>

#include "console_fakes.h"
#include "console_update_report.h"
#include "core/message_box.h"
#include "progress_bar.h"
#include "virtual_clock.h"

namespace {
// A presenter printing into captured streams; its prompt is never asked here.
struct Printed {
  explicit Printed(bool terminal) : captured(terminal) {}
  VirtualClock clock;
  CapturedOutput captured;
  ScriptedInput input{clock};
  ScriptedInterrupts interrupts;
  SetupPrompt prompt{clock, captured.output, input, interrupts, false};
  ConsolePresenter presenter{captured.output, prompt};
};

TEST(ConsolePresenter, FirmwareLineIsSaidAgainOnlyWhenItChanges) {
  Printed p(false);
  p.presenter.ShowFirmwareFile("Firmware file  =  app.hex", nullptr);
  p.presenter.ShowFirmwareFile("Firmware file  =  app.hex", nullptr);  // the next check
  p.presenter.ClearStatus();
  const UpdateFailure failure{UpdateFailure::Kind::kLink,
                              "Cannot find a Korvane Tessalink.",
                              {"Cannot find a Korvane Tessalink.               ",
                               "Firmware Update Error", mb::kIconExclamation}};
  p.presenter.ShowFailure(failure);
  EXPECT_EQ(p.captured.out.str(), "Firmware file  =  app.hex\nCannot find a Korvane Tessalink.\n");
  EXPECT_EQ(p.captured.err.str(),
            "[Firmware Update Error]\nCannot find a Korvane Tessalink.               \n");
}

TEST(ConsolePresenter, ProgressIsOneLinePerPageWhenNotATerminal) {
  Printed p(false);
  p.presenter.ShowPageProgress(1, 2, "Sending hex file page  1  of  2");
  p.presenter.ShowPageProgress(2, 2, "Sending hex file page  2  of  2");
  EXPECT_EQ(p.captured.out.str(),
            "Sending hex file page  1  of  2\nSending hex file page  2  of  2\n");
}

TEST(ConsolePresenter, ProgressIsABarRewrittenInPlaceOnATerminal) {
  Printed p(true);
  ConsoleUpdateReport report(p.captured.output);
  // The bar comes from the transfer's events; the progress line itself is not printed.
  p.presenter.ShowPageProgress(1, 4, "Sending hex file page  1  of  4");
  report.OnUpdateEvent(update_events::PageFrameSent{1000, 0, 4, 1});
  report.OnUpdateEvent(update_events::PageFrameSent{1500, 0, 4, 2});  // a resend: no new bar
  p.presenter.ShowPageProgress(2, 4, "Sending hex file page  2  of  4");
  report.OnUpdateEvent(update_events::PageFrameSent{2000, 1, 4, 1});
  p.presenter.ShowFailure({UpdateFailure::Kind::kTransfer, "Firmware update failed", {}});
  const std::string text = p.captured.out.str();
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

TEST(ConsolePresenter, SuccessBoxGoesToStandardOutputEveryOtherBoxToStandardError) {
  struct Case {
    unsigned flags;
    bool toError;
  };
  for (const Case c :
       {Case{mb::kIconInformation, false}, Case{mb::kIconExclamation, true}, Case{mb::kOk, true}}) {
    Printed p(false);
    p.presenter.ShowPageImageProblem({"Text     \n\n", "Title", c.flags});
    // In full: the trailing blanks and line feeds of the text are kept.
    EXPECT_EQ((c.toError ? p.captured.err : p.captured.out).str(), "[Title]\nText     \n\n\n");
    EXPECT_EQ((c.toError ? p.captured.out : p.captured.err).str(), "");
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
