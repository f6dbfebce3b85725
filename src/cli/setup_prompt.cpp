#include "setup_prompt.h"

#include "text_fields.h"
#include "update/setup_report_texts.h"

namespace {
// How often the report is read while nothing else happens: the dialog's timer period.
constexpr uint32_t kLookEveryMs = 10;
// A module turned down is cancelled only once its Setup report has gone quiet for this long:
// the lines after the four values, left unread, would greet the next search in place of the
// base station's identification.
constexpr uint32_t kReportSettleMs = 500;

const char* ValueLabel(SetupReport::Parameter parameter) {
  switch (parameter) {
    case SetupReport::Parameter::kModuleId:
      return "Mobile Module ID";
    case SetupReport::Parameter::kNetworkSerial:
      return "Network S/N";
    case SetupReport::Parameter::kPanId:
      return "PAN ID";
    case SetupReport::Parameter::kRfChannel:
      return "RF Channel";
  }
  return "";
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

SetupAnswer SetupPrompt::Ask(SetupReport& report) {
  output_.Line("Mobile Module control parameters:");
  output_.Line(Indented(ShownText(setup_report_texts::kInstructions)));
  // The prompt flashes in the window; on the console it is said once.
  output_.Line(ShownText(setup_report_texts::kPrompt));
  opened_ = clock_.TickCount();
  lastHeard_ = opened_;
  bytesSeen_ = report.BytesTaken();
  offered_ = false;
  refusal_.clear();
  SetupAnswer answer;
  while (!Step(report, answer)) {
  }
  return answer;
}

void SetupPrompt::ShowValue(SetupReport& report, const SetupReport::Parameter* parameter) {
  if (parameter != nullptr)
    output_.Line(std::string(ValueLabel(*parameter)) + ": " + report.Value(*parameter));
}

bool SetupPrompt::Step(SetupReport& report, SetupAnswer& answer) {
  // Once the gate has decided on a module, the reports heard after it (in open air, other
  // modules') only tell whether the air is quiet: the module decided on stays the one shown,
  // recorded and configured.
  if (offered_ && gate_ != nullptr)
    report.SkipWaiting();
  else
    report.ReadWaiting([&](const SetupReport::Parameter* p) { ShowValue(report, p); });
  const uint32_t now = clock_.TickCount();
  if (report.BytesTaken() != bytesSeen_) {
    bytesSeen_ = report.BytesTaken();
    lastHeard_ = now;
  }
  if (!refusal_.empty() && Elapsed(now, lastHeard_, kReportSettleMs)) {
    answer = {false, CancelReason::kRefused, refusal_};
    return true;
  }
  if (interrupts_.Count() > 0 || (stop_ && stop_())) {
    answer = Cancel(CancelReason::kOperator, "Interrupted: cancelling the update.");
    return true;
  }
  // Until the whole report is there, the time-out runs.
  if (setupTimeoutMs_ != 0 && !report.Complete() && Elapsed(now, opened_, setupTimeoutMs_)) {
    answer = Cancel(CancelReason::kSetupTimeout, "No Setup report within " +
                                                     DecimalSeconds(setupTimeoutMs_) +
                                                     " s: cancelling the update (time-out).");
    return true;
  }
  if (report.Complete() && !offered_ && Offer(report, answer))
    return true;
  return Wait(report, answer);
}

bool SetupPrompt::Offer(SetupReport& report, SetupAnswer& answer) {
  offered_ = true;
  refusal_ = gate_ != nullptr ? gate_->Refusal(report.Texts()) : "";
  if (!refusal_.empty()) {
    output_.Line(refusal_);
    lastHeard_ = clock_.TickCount();
    return false;
  }
  if (startAutomatically_) {
    output_.Line("All four control parameters have arrived: starting the update.");
    answer.start = true;
    return true;
  }
  output_.Line("Press Enter to start the update (end of input or Ctrl-C cancels).");
  return false;
}

bool SetupPrompt::Wait(SetupReport& report, SetupAnswer& answer) {
  if (startAutomatically_) {
    clock_.Sleep(kLookEveryMs);
    return false;
  }
  switch (input_.Wait(kLookEveryMs)) {
    case ConsoleInput::Event::kEnd:
      answer = Cancel(CancelReason::kOperator, "End of input: cancelling the update.");
      return true;
    case ConsoleInput::Event::kLine:
      // Enter before the values are complete does nothing, as the disabled button would; nor
      // does it for a module turned down.
      if (refusal_.empty() && report.Complete()) {
        output_.Line("Starting the update.");
        answer.start = true;
        return true;
      }
      return false;
    case ConsoleInput::Event::kNone:
      return false;
  }
  return false;
}

SetupAnswer SetupPrompt::Cancel(CancelReason reason, const std::string& note) {
  output_.Line(note);
  return {false, reason, note};
}
