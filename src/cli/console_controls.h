#pragma once
#include <map>
#include <set>
#include <string>

#include "console_output.h"
#include "core/dialog_controls.h"

// The state of a dialog window without a window: texts, enabled states, the checked radio
// button, timers and the end of a modal run, all kept in memory. Every control starts
// enabled, as the dialog resources have them.
class MemoryControls : public DialogControls {
 public:
  void SetWindowTitle(const std::string& title) override;
  void SetText(int id, const std::string& text) override;
  std::string GetText(int id) override;
  void Enable(int id, bool enabled) override;
  bool IsEnabled(int id) override;
  void CheckRadioButton(int first, int last, int checkId) override;
  int GetCheckedRadioButton(int first, int last) override;
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  void RepaintNow() override {}
  void DispatchOneMessage() override {}
  void SetTimer(unsigned id, unsigned periodMilliseconds) override;
  void KillTimer(unsigned id) override;
  void EndDialog(int result) override;

  bool Ended() const { return ended_; }
  int Result() const { return result_; }
  // The first running timer: its id and period, or a period of 0 when none runs.
  unsigned TimerId() const;
  unsigned TimerPeriod() const;

 protected:
  // Called when a control's text changes (not when it is set to the same text again).
  virtual void TextChanged(int /*id*/, const std::string& /*text*/) {}
  virtual void TitleChanged(const std::string& /*title*/) {}

 private:
  std::map<int, std::string> texts_;
  std::set<int> disabled_;
  std::set<int> checked_;
  std::map<unsigned, unsigned> timers_;
  bool ended_ = false;
  int result_ = 0;
};

// Prints a dialog's message boxes: the information box (success) on standard output, every
// other box (they all report a problem) on standard error, title and full text.
void PrintMessageBox(ConsoleOutput& output, const std::string& text, const std::string& title,
                     unsigned flags);

// The main update dialog on the console: the title, the usage line and the status lines
// (firmware file, firmware version, boot loader version, progress, result) are printed when
// they change. On a terminal the progress is a bar drawn from the update's events instead.
class ConsoleMainControls : public MemoryControls {
 public:
  explicit ConsoleMainControls(ConsoleOutput& output) : output_(output) {}

  int MessageBox(const std::string& text, const std::string& title, unsigned flags) override;
  void RepaintNow() override { output_.Flush(); }
  void DispatchOneMessage() override { output_.Flush(); }

 protected:
  void TextChanged(int id, const std::string& text) override;
  void TitleChanged(const std::string& title) override;

 private:
  ConsoleOutput& output_;
};
