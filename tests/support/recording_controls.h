#pragma once
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/dialog_controls.h"

struct RecordedMessageBox {
  std::string text;
  std::string title;
  unsigned flags = 0;
};

// Headless dialog window: keeps every control's text, enabled and checked state, records
// each text a control was given and every message box, and answers boxes as scripted.
class RecordingControls : public DialogControls {
 public:
  void SetWindowTitle(const std::string& title) override { windowTitle = title; }
  void SetText(int id, const std::string& text) override;
  std::string GetText(int id) override;
  void Enable(int id, bool enabled) override;
  bool IsEnabled(int id) override;
  void CheckRadioButton(int first, int last, int checkId) override;
  int GetCheckedRadioButton(int first, int last) override;
  int MessageBox(const std::string& text, const std::string& title, unsigned flags) override;
  void BeginWaitCursor() override {
    ++waitCursorDepth;
    ++waitCursorCalls;
  }
  void EndWaitCursor() override { --waitCursorDepth; }
  void RepaintNow() override { ++repaints; }
  void DispatchOneMessage() override { ++dispatches; }
  void SetTimer(unsigned id, unsigned period) override { timers[id] = period; }
  void KillTimer(unsigned id) override { timers.erase(id); }
  void EndDialog(int result) override {
    ended = true;
    endResult = result;
  }

  bool IsChecked(int id) const { return checked.count(id) != 0; }
  // Every text the control was given, in order.
  const std::vector<std::string>& History(int id) { return history[id]; }

  std::string windowTitle;
  std::map<int, std::string> texts;
  std::map<int, std::vector<std::string>> history;
  std::set<int> disabled;
  std::set<int> checked;
  std::vector<RecordedMessageBox> messageBoxes;
  // Called for every message box; returns the button pressed. Default: OK.
  std::function<int(const RecordedMessageBox&)> answerMessageBox;
  // Called after each SetText, e.g. to act when a status line changes.
  std::function<void(int id, const std::string& text)> onSetText;
  int waitCursorDepth = 0;
  int waitCursorCalls = 0;
  int repaints = 0;
  int dispatches = 0;
  std::map<unsigned, unsigned> timers;
  bool ended = false;
  int endResult = 0;
};
