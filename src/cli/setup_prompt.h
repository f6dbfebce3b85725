#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "console_input.h"
#include "console_output.h"
#include "core/clock.h"
#include "update/setup_report.h"
#include "update/update_presenter.h"

// Decides, once a module's four control parameters have all arrived, whether it is updated.
class ModuleGate {
 public:
  virtual ~ModuleGate() = default;
  // Empty to go on; otherwise the line that says why the module is turned down.
  virtual std::string Refusal(const ModuleReport& module) = 0;
};

// The Setup report prompt on the console: the instructions, then the four values as they
// arrive. Start Update is Enter, or comes by itself with --yes. End of input or a Ctrl-C
// cancels, and so do a module the gate turns down and a report that does not come within the
// time-out; the update then restores the base station as after Cancel Update.
class SetupPrompt {
 public:
  SetupPrompt(Clock& clock, ConsoleOutput& output, ConsoleInput& input,
              const InterruptCounter& interrupts, bool startAutomatically)
      : clock_(clock),
        output_(output),
        input_(input),
        interrupts_(interrupts),
        startAutomatically_(startAutomatically) {}

  // 0 waits for the Setup report as long as it takes.
  void SetSetupTimeout(uint32_t milliseconds) { setupTimeoutMs_ = milliseconds; }
  void SetModuleGate(ModuleGate* gate) { gate_ = gate; }
  // A stop of the host's own beside the user's (a line whose count is reached): cancels as a
  // Ctrl-C does.
  void SetStop(std::function<bool()> stop) { stop_ = std::move(stop); }

  SetupAnswer Ask(SetupReport& report);

 private:
  // One look at the report, the clock and the operator; an answer ends the prompt.
  bool Step(SetupReport& report, SetupAnswer& answer);
  // All four values are there: the gate, then Start Update or the question.
  bool Offer(SetupReport& report, SetupAnswer& answer);
  // Waits for the next look: the operator's line or the end of input.
  bool Wait(SetupReport& report, SetupAnswer& answer);
  SetupAnswer Cancel(CancelReason reason, const std::string& note);
  void ShowValue(SetupReport& report, const SetupReport::Parameter* parameter);

  Clock& clock_;
  ConsoleOutput& output_;
  ConsoleInput& input_;
  const InterruptCounter& interrupts_;
  bool startAutomatically_;
  uint32_t setupTimeoutMs_ = 0;
  ModuleGate* gate_ = nullptr;
  std::function<bool()> stop_;

  // The prompt being answered.
  uint32_t opened_ = 0;
  bool offered_ = false;
  std::string refusal_;
  uint32_t lastHeard_ = 0;  // when a report byte last came, or the refusal was made
  uint32_t bytesSeen_ = 0;
};

// A dialog text as the control shows it: "&&" stands for one ampersand.
std::string ShownText(const std::string& text);
