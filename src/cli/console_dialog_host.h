#pragma once
#include <string>

#include "console_controls.h"
#include "console_input.h"
#include "core/clock.h"
#include "core/modal_dialog.h"

// The control-parameter dialog on the console: its instructions, its prompt and the four
// values as they arrive. Start Update is pressed with Enter, or by itself with --yes.
class ConsoleParameterControls : public MemoryControls {
 public:
  explicit ConsoleParameterControls(ConsoleOutput& output) : output_(output) {}
  int MessageBox(const std::string& text, const std::string& title, unsigned flags) override;

 protected:
  void TextChanged(int id, const std::string& text) override;

 private:
  ConsoleOutput& output_;
  bool promptShown_ = false;
};

// Decides, once a module's four control parameters have all arrived, whether it is updated.
class ModuleGate {
 public:
  virtual ~ModuleGate() = default;
  // Empty to go on; otherwise the line that says why the module is turned down.
  virtual std::string Refusal(const std::string& moduleId) = 0;
};

// Runs nested modal dialogs in the console: the dialog's timer fires on the real clock,
// standard input is watched between ticks. End of input or a Ctrl-C cancels the dialog, so
// the update procedure restores the base station as after Cancel Update; so do a module the
// gate turns down and a Setup report that does not arrive within the time-out.
class ConsoleDialogHost : public DialogHost {
 public:
  // How the last dialog ended.
  enum class End { kStarted, kCancelled, kRefused, kTimedOut };

  ConsoleDialogHost(Clock& clock, ConsoleOutput& output, ConsoleInput& input,
                    const InterruptCounter& interrupts, bool startAutomatically)
      : clock_(clock),
        output_(output),
        input_(input),
        interrupts_(interrupts),
        startAutomatically_(startAutomatically) {}

  int RunModal(ModalDialog& dialog) override;

  // 0 waits for the Setup report as long as it takes.
  void SetSetupTimeout(uint32_t milliseconds) { setupTimeoutMs_ = milliseconds; }
  void SetModuleGate(ModuleGate* gate) { gate_ = gate; }
  End LastEnd() const { return end_; }
  // The line shown when the gate turned the module down or the Setup report timed out.
  const std::string& EndNote() const { return endNote_; }

 private:
  void Cancel(ModalDialog& dialog, End end, const std::string& note);

  Clock& clock_;
  ConsoleOutput& output_;
  ConsoleInput& input_;
  const InterruptCounter& interrupts_;
  bool startAutomatically_;
  uint32_t setupTimeoutMs_ = 0;
  ModuleGate* gate_ = nullptr;
  End end_ = End::kCancelled;
  std::string endNote_;
};

// A dialog text as the control shows it: "&&" stands for one ampersand.
std::string ShownText(const std::string& text);
