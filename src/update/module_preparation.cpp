// From the identified base station to a boot loader that answers: a module already waiting
// in its boot loader, or one in Setup mode whose parameters its Setup report gives (the
// presenter asks the operator) before both radios are configured and the module is started
// in its boot loader.
#include "update/link_protocol.h"
#include "update/update_steps.h"

namespace update {
namespace {
bool PollBootLoader(LinkContext& link, int poll) {
  link.port.WriteString(protocol::kPoll);
  uint8_t answer = 0;
  const bool answered = link.port.ReadBytes(&answer, 1, protocol::kPollTimeoutMs) == 1 &&
                        answer == protocol::kPollAnswer;
  link.Emit(update_events::BootLoaderPolled{link.Now(), poll, answered});
  return answered;
}

// The radio back to framed mode 2 on channel 0x0E, where the module's Setup report is heard,
// then the relay ended; the radio's answers are discarded unread.
void EnterFramedMode(LinkContext& link) {
  CSerialPort& port = link.port;
  link.Pause(protocol::kCommandModeGuardMs);
  port.WriteString(protocol::kCommandMode);
  link.Pause(protocol::kCommandModeGuardMs);
  port.WriteString(protocol::kFrameMode2);
  link.Pause(protocol::kRadioCommandPauseMs);
  port.WriteString(protocol::kChannel0E);
  link.Pause(protocol::kRadioCommandPauseMs);
  port.WriteString(protocol::kLeaveCommandMode);
  link.Pause(protocol::kLeaveCommandModeMs);
  port.WriteString(protocol::kEndRelay);
  port.PurgeInput();
}

// The module's Setup report, read while the presenter asks the operator; the parameters when
// Start Update was the answer.
std::optional<ModuleParameters> LearnModuleParameters(LinkContext& link, UpdatePresenter& presenter,
                                                      PreparedModule& prepared) {
  SetupReport report(&link.port, link.clock, &link.observer);
  link.Emit(update_events::ParameterDialogOpened{link.Now()});
  report.Begin();
  prepared.answer = presenter.AskForSetupReport(report);
  // Start Update is only there once the whole report is.
  const bool started = prepared.answer.start && report.Complete();
  link.Emit(update_events::ParameterDialogClosed{link.Now(), started});
  if (!started)
    return std::nullopt;
  prepared.report = report.Texts();
  return report.Parameters();
}

// A module in Setup mode: its parameters learnt, both radios configured and the module in its
// boot loader, with the relay on the boot loader network again.
PreparedModule::Result SetUpModule(LinkContext& link, UpdatePresenter& presenter,
                                   PreparedModule& prepared) {
  CSerialPort& port = link.port;
  EnterFramedMode(link);
  const std::optional<ModuleParameters> module = LearnModuleParameters(link, presenter, prepared);
  if (!module)
    return PreparedModule::Result::kCancelled;
  link.Pause(protocol::kRelayPauseMs);
  port.PurgeInput();
  port.WriteString(protocol::kReport);
  if (!ConfigureRadios(link, *module))
    return PreparedModule::Result::kConfigurationFailed;
  link.Pause(protocol::kBootLoaderStartMs);
  port.PurgeInput();
  StartBootLoaderRelay(link);
  link.Pause(protocol::kRelayPauseMs);
  port.PurgeInput();
  return PreparedModule::Result::kBootLoaderListening;
}
}  // namespace

PreparedModule PrepareModule(LinkContext& link, UpdatePresenter& presenter) {
  PreparedModule prepared;
  // Is a boot loader already listening on the boot loader network?
  StartBootLoaderRelay(link);
  link.Pause(protocol::kRelayPauseMs);
  link.port.PurgeInput();
  if (!PollBootLoader(link, 1)) {
    prepared.result = SetUpModule(link, presenter, prepared);
    if (prepared.result != PreparedModule::Result::kBootLoaderListening)
      return prepared;
  }
  link.Pause(protocol::kRelayPauseMs);
  prepared.result = PollBootLoader(link, 2) ? PreparedModule::Result::kBootLoaderListening
                                            : PreparedModule::Result::kBootLoaderSilent;
  return prepared;
}

}  // namespace update
