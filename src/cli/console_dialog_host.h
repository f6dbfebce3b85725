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

// Runs nested modal dialogs in the console: the dialog's timer fires on the real clock,
// standard input is watched between ticks. End of input or a Ctrl-C cancels the dialog, so
// the update procedure restores the base station as after Cancel Update.
class ConsoleDialogHost : public DialogHost {
 public:
  ConsoleDialogHost(Clock& clock, ConsoleOutput& output, ConsoleInput& input,
                    const InterruptCounter& interrupts, bool startAutomatically)
      : clock_(clock),
        output_(output),
        input_(input),
        interrupts_(interrupts),
        startAutomatically_(startAutomatically) {}

  int RunModal(ModalDialog& dialog) override;

 private:
  Clock& clock_;
  ConsoleOutput& output_;
  ConsoleInput& input_;
  const InterruptCounter& interrupts_;
  bool startAutomatically_;
};

// A dialog text as the control shows it: "&&" stands for one ampersand.
std::string ShownText(const std::string& text);
