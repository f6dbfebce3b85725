#include "console_dialog_host.h"

#include "core/control_ids.h"
#include "core/message_box.h"

namespace {
// A dialog without a timer of its own still gets its input looked at this often.
constexpr uint32_t kIdlePollMs = 10;

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

int ConsoleDialogHost::RunModal(ModalDialog& dialog) {
  ConsoleParameterControls controls(output_);
  dialog.OnInitDialog(controls);
  uint32_t lastTick = clock_.TickCount();
  bool startOffered = false;

  while (!controls.Ended()) {
    if (interrupts_.Count() > 0) {
      output_.Line("Interrupted: cancelling the update.");
      dialog.OnCommand(mb::kIdCancel);
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
        if (startAutomatically_) {
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
        output_.Line("End of input: cancelling the update.");
        dialog.OnCommand(mb::kIdCancel);
        break;
      case ConsoleInput::Event::kLine:
        // Enter before the values are complete does nothing, as the disabled button would.
        if (controls.IsEnabled(ids::kStartUpdate)) {
          output_.Line("Starting the update.");
          dialog.OnCommand(ids::kStartUpdate);
        }
        break;
      case ConsoleInput::Event::kNone:
        break;
    }
  }
  dialog.OnDestroy();
  return controls.Result();
}
