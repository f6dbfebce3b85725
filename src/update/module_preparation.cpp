// From the identified base station to a boot loader that answers: a module already waiting
// in its boot loader, or one in Setup mode whose parameters the control-parameter dialog
// learns before both radios are configured and the module is started in its boot loader.
#include <cstring>

#include "core/message_box.h"
#include "update/link_protocol.h"
#include "update/module_id_dlg.h"
#include "update/update_steps.h"

namespace update {
namespace {
bool PollBootLoader(UpdateContext& context, int poll) {
  context.port.WriteString(protocol::kPoll);
  uint8_t answer = 0;
  const bool answered = context.port.ReadBytes(&answer, 1, protocol::kPollTimeoutMs) == 1 &&
                        answer == protocol::kPollAnswer;
  context.Emit(update_events::BootLoaderPolled{context.Now(), poll, answered});
  return answered;
}

// The radio back to framed mode 2 on channel 0x0E, where the module's Setup report is heard,
// then the relay ended; the radio's answers are discarded unread.
void EnterFramedMode(UpdateContext& context) {
  CSerialPort& port = context.port;
  context.Delay(protocol::kCommandModeGuardMs);
  port.WriteString(protocol::kCommandMode);
  context.Delay(protocol::kCommandModeGuardMs);
  port.WriteString(protocol::kFrameMode2);
  context.Delay(protocol::kRadioCommandPauseMs);
  port.WriteString(protocol::kChannel0E);
  context.Delay(protocol::kRadioCommandPauseMs);
  port.WriteString(protocol::kLeaveCommandMode);
  context.Delay(protocol::kLeaveCommandModeMs);
  port.WriteString(protocol::kEndRelay);
  port.PurgeInput();
}

// The control-parameter dialog, run modally over the channel. False when the user cancelled.
bool LearnModuleParameters(UpdateContext& context, ModuleParameters& module) {
  CMobile_Module_ID_Dlg dialog(context.clock);
  dialog.SetPort(&context.port);
  dialog.SetObserver(&context.observer);
  context.Emit(update_events::ParameterDialogOpened{context.Now()});
  const bool started = context.dialogs.RunModal(dialog) != mb::kIdCancel;
  context.Emit(update_events::ParameterDialogClosed{context.Now(), started});
  if (!started)
    return false;
  std::memcpy(module.moduleIdField, dialog.ModuleId(), sizeof module.moduleIdField);
  std::memcpy(module.serialHigh, dialog.NetworkSerial(), sizeof module.serialHigh);
  std::memcpy(module.serialLow, dialog.NetworkSerial() + sizeof module.serialHigh,
              sizeof module.serialLow);
  std::memcpy(module.panId, dialog.PanId(), sizeof module.panId);
  module.channel = dialog.ChannelNumber();
  return true;
}

// A module in Setup mode: its parameters learnt, both radios configured and the module in its
// boot loader, with the relay on the boot loader network again.
PreparedModule::Result SetUpModule(UpdateContext& context, std::string& moduleId) {
  CSerialPort& port = context.port;
  EnterFramedMode(context);
  ModuleParameters module;
  if (!LearnModuleParameters(context, module))
    return PreparedModule::Result::kCancelled;
  moduleId = module.moduleIdField;
  context.Delay(protocol::kRelayPauseMs);
  port.PurgeInput();
  port.WriteString(protocol::kReport);
  if (!ConfigureRadios(context, module))
    return PreparedModule::Result::kConfigurationFailed;
  context.Delay(protocol::kBootLoaderStartMs);
  port.PurgeInput();
  StartBootLoaderRelay(context);
  context.Delay(protocol::kRelayPauseMs);
  port.PurgeInput();
  return PreparedModule::Result::kBootLoaderListening;
}
}  // namespace

PreparedModule PrepareModule(UpdateContext& context) {
  PreparedModule prepared;
  // Is a boot loader already listening on the boot loader network?
  StartBootLoaderRelay(context);
  context.Delay(protocol::kRelayPauseMs);
  context.port.PurgeInput();
  if (!PollBootLoader(context, 1)) {
    // A wait cursor of its own, nested in the update's, while the module is set up.
    context.controls.BeginWaitCursor();
    prepared.result = SetUpModule(context, prepared.moduleId);
    context.controls.EndWaitCursor();
    if (prepared.result != PreparedModule::Result::kBootLoaderListening)
      return prepared;
  }
  context.Delay(protocol::kRelayPauseMs);
  prepared.result = PollBootLoader(context, 2) ? PreparedModule::Result::kBootLoaderListening
                                               : PreparedModule::Result::kBootLoaderSilent;
  return prepared;
}

}  // namespace update
