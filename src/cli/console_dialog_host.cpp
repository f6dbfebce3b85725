#include "console_dialog_host.h"

#include <cstdio>

#include "core/control_ids.h"
#include "core/message_box.h"

namespace {
// A dialog without a timer of its own still gets its input looked at this often.
constexpr uint32_t kIdlePollMs = 10;
// A module turned down is cancelled only after the rest of its Setup report (the lines after
// the four values) has come and been read: left unread, it would greet the next search in
// place of the base station's identification.
constexpr uint32_t kReportSettleMs = 500;

const char* ValueLabel(int id) {
  switch (id) {
    case ids::kModuleIdValue:
      return "Mobile Module ID";
    case ids::kNetworkSerialValue:
      return "Network S/N";
    case ids::kPanIdValue:
      return "PAN ID";
    case ids::kRfChannelValue:
      return "RF Channel";
    default:
      return nullptr;
  }
}

// Indents every line of a block of text that is not empty.
std::string Indented(const std::string& text) {
  std::string result;
  bool lineStart = true;
  for (char c : text) {
    if (lineStart && c != '\n')
      result += "  ";
    result += c;
    lineStart = c == '\n';
  }
  return result;
}
}  // namespace

std::string ShownText(const std::string& text) {
  std::string shown;
  for (std::size_t i = 0; i < text.size(); ++i) {
    shown += text[i];
    if (text[i] == '&' && i + 1 < text.size() && text[i + 1] == '&')
      ++i;
  }
  return shown;
}

int ConsoleParameterControls::MessageBox(const std::string& text, const std::string& title,
                                         unsigned flags) {
  PrintMessageBox(output_, text, title, flags);
  return mb::kIdOk;
}

void ConsoleParameterControls::TextChanged(int id, const std::string& text) {
  if (id == ids::kModuleInstructions) {
    output_.Line("Mobile Module control parameters:");
    output_.Line(Indented(ShownText(text)));
    return;
  }
  // The prompt flashes in the window; on the console it is said once.
  if (id == ids::kSetupPrompt) {
    if (!text.empty() && !promptShown_) {
      promptShown_ = true;
      output_.Line(ShownText(text));
    }
    return;
  }
  if (const char* label = ValueLabel(id))
    output_.Line(std::string(label) + ": " + text);
}

void ConsoleDialogHost::Cancel(ModalDialog& dialog, End end, const std::string& note) {
  end_ = end;
  endNote_ = note;
  if (!note.empty())
    output_.Line(note);
  dialog.OnCommand(mb::kIdCancel);
}

int ConsoleDialogHost::RunModal(ModalDialog& dialog) {
  ConsoleParameterControls controls(output_);
  end_ = End::kCancelled;
  endNote_.clear();
  dialog.OnInitDialog(controls);
  const uint32_t opened = clock_.TickCount();
  uint32_t lastTick = opened;
  bool startOffered = false;
  std::string refusal;
  uint32_t refused = 0;

  while (!controls.Ended()) {
    if (!refusal.empty() && clock_.TickCount() - refused >= kReportSettleMs) {
      end_ = End::kRefused;
      endNote_ = refusal;
      dialog.OnCommand(mb::kIdCancel);
      continue;
    }
    if (interrupts_.Count() > 0) {
      Cancel(dialog, End::kCancelled, "Interrupted: cancelling the update.");
      continue;
    }
    // Start Update is enabled once the whole report is there; until then the time-out runs.
    if (setupTimeoutMs_ != 0 && !controls.IsEnabled(ids::kStartUpdate) &&
        clock_.TickCount() - opened >= setupTimeoutMs_) {
      char seconds[32];
      std::snprintf(seconds, sizeof seconds, "%.3f", setupTimeoutMs_ / 1000.0);
      std::string shown = seconds;
      shown.erase(shown.find_last_not_of('0') + 1);
      if (shown.back() == '.')
        shown.pop_back();
      Cancel(dialog, End::kTimedOut,
             "No Setup report within " + shown + " s: cancelling the update (time-out).");
      continue;
    }
    const unsigned period = controls.TimerPeriod();
    const uint32_t sinceTick = clock_.TickCount() - lastTick;
    if (period != 0 && sinceTick >= period) {
      lastTick = clock_.TickCount();
      dialog.OnTimer(controls.TimerId());
      // Start Update is enabled once all four values are there.
      if (!controls.Ended() && !startOffered && controls.IsEnabled(ids::kStartUpdate)) {
        startOffered = true;
        refusal = gate_ != nullptr ? gate_->Refusal(controls.GetText(ids::kModuleIdValue)) : "";
        if (!refusal.empty()) {
          output_.Line(refusal);
          refused = clock_.TickCount();
        } else if (startAutomatically_) {
          output_.Line("All four control parameters have arrived: starting the update.");
          dialog.OnCommand(ids::kStartUpdate);
        } else {
          output_.Line("Press Enter to start the update (end of input or Ctrl-C cancels).");
        }
      }
      continue;
    }
    const uint32_t wait = period != 0 ? period - sinceTick : kIdlePollMs;
    if (startAutomatically_) {
      clock_.Sleep(wait);
      continue;
    }
    switch (input_.Wait(wait)) {
      case ConsoleInput::Event::kEnd:
        Cancel(dialog, End::kCancelled, "End of input: cancelling the update.");
        break;
      case ConsoleInput::Event::kLine:
        // Enter before the values are complete does nothing, as the disabled button would;
        // nor does it for a module turned down.
        if (refusal.empty() && controls.IsEnabled(ids::kStartUpdate)) {
          output_.Line("Starting the update.");
          dialog.OnCommand(ids::kStartUpdate);
        }
        break;
      case ConsoleInput::Event::kNone:
        break;
    }
  }
  dialog.OnDestroy();
  const int result = controls.Result();
  if (result != mb::kIdCancel)
    end_ = End::kStarted;
  return result;
}
