#include "setup_prompt.h"

#include <gtest/gtest.h>

#include <cstring>

#include "console_fakes.h"
#include "scripted_serial.h"

namespace {
constexpr const char kReport[] =
    "Quorvanta Mobile Module - Setup Mode\r"
    "  Module ID.............  123456\r"
    "  Network S/N...........  00112233 44556677\r"
    "  PAN ID................  3332\r"
    "  RF Channel............  15\r";

// The console's Setup report prompt on a scripted serial line.
struct HostFixture {
  explicit HostFixture(bool yes)
      : serial(clock), port(serial, clock), report(&port, clock, nullptr) {
    EXPECT_EQ(port.Open(3, 9600, 'N', 8, 1), 1);
    host = std::make_unique<SetupPrompt>(clock, captured.output, input, interrupts, yes);
  }
  bool Ask() { return host->Ask(report).start; }
  VirtualClock clock;
  ScriptedSerial serial;
  CSerialPort port;
  SetupReport report;
  ScriptedInput input{clock};
  ScriptedInterrupts interrupts;
  CapturedOutput captured;
  std::unique_ptr<SetupPrompt> host;
};

TEST(SetupPrompt, WithYesStartsOnceAllFourValuesHaveArrived) {
  HostFixture f(true);
  f.serial.Arrive(kReport, 3000, 1);
  const uint32_t opened = f.clock.Now();
  EXPECT_TRUE(f.Ask());
  EXPECT_GE(f.clock.Now() - opened, 3000u);
  EXPECT_LT(f.clock.Now() - opened, 3300u);
  EXPECT_STREQ(f.report.Value(SetupReport::Parameter::kModuleId), "123456");
  EXPECT_EQ(f.report.Parameters().channel, 15);
  EXPECT_EQ(f.input.waits, 0) << "--yes never reads standard input";

  const std::string out = f.captured.out.str();
  // The instructions as the window shows them: "&&" is one ampersand.
  EXPECT_NE(out.find("  The Quorvanta Mobile Module must be in the Setup mode"), std::string::npos);
  EXPECT_NE(out.find("     - Press & hold the Setup button"), std::string::npos) << out;
  EXPECT_EQ(out.find("&&"), std::string::npos);
  // The values in the order they came, then the start.
  const std::size_t id = out.find("Mobile Module ID: 123456\n");
  const std::size_t serialNumber = out.find("Network S/N: 00112233 44556677\n");
  const std::size_t pan = out.find("PAN ID: 3332\n");
  const std::size_t channel = out.find("RF Channel: 15\n");
  const std::size_t start = out.find("All four control parameters have arrived");
  ASSERT_NE(start, std::string::npos) << out;
  EXPECT_LT(id, serialNumber);
  EXPECT_LT(serialNumber, pan);
  EXPECT_LT(pan, channel);
  EXPECT_LT(channel, start);
  EXPECT_EQ(f.captured.err.str(), "");
}

TEST(SetupPrompt, EnterStartsOnlyOnceTheValuesAreComplete) {
  HostFixture f(false);
  f.serial.Arrive(kReport, 2000, 1);
  const uint32_t opened = f.clock.Now();
  int lines = 0;
  // Enter at 500 ms (too early), then again at 4000 ms.
  f.input.script = [&](uint32_t now) {
    const uint32_t elapsed = now - opened;
    if ((lines == 0 && elapsed >= 500) || (lines == 1 && elapsed >= 4000)) {
      ++lines;
      return ConsoleInput::Event::kLine;
    }
    return ConsoleInput::Event::kNone;
  };
  EXPECT_TRUE(f.Ask());
  EXPECT_EQ(lines, 2);
  EXPECT_GE(f.clock.Now() - opened, 4000u);
  const std::string out = f.captured.out.str();
  EXPECT_LT(out.find("RF Channel: 15"), out.find("Press Enter to start the update"));
  EXPECT_LT(out.find("Press Enter to start the update"), out.find("Starting the update."));
}

TEST(SetupPrompt, EndOfInputOrCtrlCCancels) {
  struct Case {
    bool yes;
    bool endOfInput;
    int interrupts;
    const char* said;
  };
  const Case cases[] = {
      {false, true, 0, "End of input: cancelling the update.\n"},
      {false, false, 1, "Interrupted: cancelling the update.\n"},
      // A Ctrl-C pressed before the dialog opened is honoured as soon as it opens.
      {true, false, 1, "Interrupted: cancelling the update.\n"},
  };
  for (const Case& c : cases) {
    HostFixture f(c.yes);
    f.serial.Arrive(kReport, 0, 0);  // all four values would be there at once
    if (c.endOfInput)
      f.input.script = [](uint32_t) { return ConsoleInput::Event::kEnd; };
    f.interrupts.count = [&c] { return c.interrupts; };
    EXPECT_FALSE(f.Ask());
    const std::string out = f.captured.out.str();
    EXPECT_NE(out.find(c.said), std::string::npos) << out;
    EXPECT_EQ(out.find("starting the update"), std::string::npos);
    EXPECT_EQ(out.find("Starting the update"), std::string::npos);
  }
}

TEST(SetupPrompt, FlashingPromptIsSaidOnceAndTheReportReadEveryTenMilliseconds) {
  HostFixture f(false);
  const uint32_t opened = f.clock.Now();
  f.input.script = [&](uint32_t now) {
    return now - opened >= 5000 ? ConsoleInput::Event::kEnd : ConsoleInput::Event::kNone;
  };
  f.Ask();
  const std::string out = f.captured.out.str();
  const std::string prompt = "Press & release the Setup button on Mobile Module.\n";
  EXPECT_NE(out.find(prompt), std::string::npos) << out;
  EXPECT_EQ(out.find(prompt), out.rfind(prompt));
  // About one wait per 10 ms tick over the 5 seconds, never a busy spin.
  EXPECT_GT(f.input.waits, 400);
  EXPECT_LT(f.input.waits, 520);
}
}  // namespace

namespace {
// Turns every module down, as a repeat in a loop is.
class RefuseAll : public ModuleGate {
 public:
  std::string Refusal(const ModuleReport& module) override { return "No: " + module.moduleId; }
};

// The lines after the four values keep coming for a while; the module is cancelled only once
// they have stopped, or they would greet the next search in place of the base station.
TEST(SetupPrompt, ARefusedModuleIsCancelledOnlyOnceItsReportHasGoneQuiet) {
  HostFixture f(true);
  RefuseAll gate;
  f.host->SetModuleGate(&gate);
  const std::string trailer(200, 'x');  // 200 more bytes, 10 ms apart: 2 s after the values
  f.serial.Arrive(std::string(kReport) + trailer + "\r", 100, 10);
  const uint32_t opened = f.clock.Now();
  const SetupAnswer answer = f.host->Ask(f.report);
  EXPECT_FALSE(answer.start);
  EXPECT_EQ(answer.reason, CancelReason::kRefused);
  EXPECT_EQ(answer.note, "No: 123456");
  const uint32_t lastByte = 100 + 10 * static_cast<uint32_t>(std::strlen(kReport) + 200);
  EXPECT_GE(f.clock.Now() - opened, lastByte + 500);
  EXPECT_LT(f.clock.Now() - opened, lastByte + 700);
  EXPECT_EQ(f.serial.BytesWaiting(), 0u) << "the whole report was read";
}

// The time-out is for a report that does not come: once it is complete, the prompt waits for
// the operator as long as it takes.
TEST(SetupPrompt, TheTimeOutRunsOnlyWhileTheReportIsIncomplete) {
  HostFixture f(false);
  f.host->SetSetupTimeout(2000);
  f.serial.Arrive(kReport, 1000, 1);
  const uint32_t opened = f.clock.Now();
  f.input.script = [&](uint32_t now) {
    return now - opened >= 5000 ? ConsoleInput::Event::kLine : ConsoleInput::Event::kNone;
  };
  const SetupAnswer answer = f.host->Ask(f.report);
  EXPECT_TRUE(answer.start);
  EXPECT_GE(f.clock.Now() - opened, 5000u);

  HostFixture late(false);
  late.host->SetSetupTimeout(2000);
  late.serial.Arrive(kReport, 2500, 1);
  const SetupAnswer timedOut = late.host->Ask(late.report);
  EXPECT_FALSE(timedOut.start);
  EXPECT_EQ(timedOut.reason, CancelReason::kSetupTimeout);
}
}  // namespace
