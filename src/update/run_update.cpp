// The wireless update procedure: find the base station, point its radio and the module's
// radio at each other, start the module's boot loader, run the paged transfer and restore
// the base station.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/message_box.h"
#include "ui/control_ids.h"
#include "ui/firmware_update_dlg.h"
#include "update/link_protocol.h"
#include "update/module_id_dlg.h"
#include "update/update_texts.h"

namespace {
constexpr int kBaudRates[] = {9600, 57600, 14400, 19200, 38400, 115200};

// The module parameters as the radio commands use them.
struct ModuleParameters {
  char moduleIdField[7] = {};  // NUL-padded; the "<@:P" commands send the first 6 bytes
  uint8_t serialHigh[4] = {};
  uint8_t serialLow[4] = {};
  uint8_t panId[2] = {};
  uint8_t channel = 0;
};

// Sends the frames that put the base station's radio on the boot loader network and make it
// pass bytes transparently; the relay has just been started with "<RP".
void SendBootLoaderNetworkFrames(CSerialPort& port) {
  port.Write(link::kPanIdFrame, sizeof link::kPanIdFrame);
  port.Write(link::kChannelFrame, sizeof link::kChannelFrame);
  port.Write(link::kFrameModeFrame, sizeof link::kFrameModeFrame);
}

bool PollBootLoader(CSerialPort& port) {
  port.WriteString(link::kPoll);
  uint8_t answer = 0;
  return port.ReadBytes(&answer, 1, 500) == 1 && answer == link::kPollAnswer;
}

// A radio response frame: start byte, type, optionally the parameter name, status OK. The
// reply must be long enough to hold every byte examined or used, so that bytes left in the
// buffer by an earlier reply are never taken for this one.
bool ResponseFrameOk(const uint8_t* reply, int received, const char* name, int needed) {
  if (received < needed)
    return false;
  if (reply[0] != link::kFrameStart || reply[3] != link::kResponseType || reply[7] != 0) {
    return false;
  }
  return name == nullptr || (reply[5] == name[0] && reply[6] == name[1]);
}

// One row of the radio configuration that expects a response frame.
bool ExchangeFrame(CSerialPort& port, int replyLength, const char* name, int needed,
                   uint8_t* reply) {
  std::memset(reply, 0, 16);
  const int received = port.ReadBytes(reply, replyLength, 3000);
  return ResponseFrameOk(reply, received, name, needed);
}

// Rows 1 to 10 of the radio configuration through the base station's commands.
bool ConfigureRadios(CSerialPort& port, const ModuleParameters& module) {
  uint8_t reply[16];
  // The base station's radio onto the module's channel and PAN.
  port.WriteString("<@:S03CH");
  port.WriteByte(module.channel);
  if (!ExchangeFrame(port, 9, "CH", 9, reply))
    return false;
  port.WriteString("<@:S04ID");
  port.Write(module.panId, 2);
  if (!ExchangeFrame(port, 9, "ID", 9, reply))
    return false;

  // The right module answers.
  port.WriteString("<@:P");
  port.Write(module.moduleIdField, 6);
  port.WriteString("01I");
  char answer[16];
  port.ReadLine(answer, 15, 500, '\r');
  if (std::strcmp(answer, module.moduleIdField) != 0)
    return false;

  // The base station's radio address.
  uint8_t sh[4], sl[4];
  port.WriteString("<@:ISH");
  if (!ExchangeFrame(port, 13, nullptr, 12, reply))
    return false;
  std::memcpy(sh, reply + 8, 4);
  port.WriteString("<@:ISL");
  if (!ExchangeFrame(port, 13, nullptr, 12, reply))
    return false;
  std::memcpy(sl, reply + 8, 4);

  // The module's radio sends to the base station's radio ...
  port.WriteString("<@:P");
  port.Write(module.moduleIdField, 6);
  port.WriteString("11#:C06DH");
  port.Write(sh, 4);
  if (!ExchangeFrame(port, 9, "DH", 8, reply))
    return false;
  port.WriteString("<@:P");
  port.Write(module.moduleIdField, 6);
  port.WriteString("11#:C06DL");
  port.Write(sl, 4);
  if (!ExchangeFrame(port, 9, "DL", 8, reply))
    return false;

  // ... and the base station's radio to the module's.
  port.WriteString("<@:S06DH");
  port.Write(module.serialHigh, 4);
  if (!ExchangeFrame(port, 9, "DH", 8, reply))
    return false;
  port.WriteString("<@:S06DL");
  port.Write(module.serialLow, 4);
  if (!ExchangeFrame(port, 9, "DL", 8, reply))
    return false;

  // The module into its boot loader; nothing comes back.
  port.WriteString("<@:P");
  port.Write(module.moduleIdField, 6);
  port.WriteString("03#:Z");
  return true;
}
}  // namespace

void CFirmwareUpdateDlg::EndUpdateWithFailure(const std::string& status, const std::string& box,
                                              UpdateOutcome outcome, bool enablePortButtons) {
  m_controls.SetText(ids::kResult, status);
  m_controls.MessageBox(box, update_texts::kErrorTitle, mb::kIconExclamation | mb::kOk);
  ReturnPort();
  if (enablePortButtons)
    EnablePortButtons();
  m_controls.EndWaitCursor();
  m_lastOutcome = outcome;
}

void CFirmwareUpdateDlg::RunUpdate() {
  m_controls.BeginWaitCursor();
  if (!CheckFirmwareFile() || !BuildPageImage()) {
    m_controls.EndWaitCursor();
    m_lastOutcome = UpdateOutcome::kFirmwareFileProblem;
    return;
  }
  m_controls.SetText(ids::kBootLoaderVersion, "");
  m_controls.SetText(ids::kProgress, "");
  m_controls.SetText(ids::kResult, "");

  const int checked = m_controls.GetCheckedRadioButton(ids::kFirstPortButton, ids::kLastPortButton);
  const int port = checked - 2000;

  // Find the base station at one of the six rates.
  bool found = false;
  for (int baud : kBaudRates) {
    if (!m_serialPort.Open(port, baud, 'N', 8, 1)) {
      BorrowPort(port);
      if (!m_serialPort.Open(port, baud, 'N', 8, 1)) {
        char text[64];
        std::snprintf(text, sizeof text, update_texts::kUnableToOpenPort, port);
        EndUpdateWithFailure(text, text, UpdateOutcome::kPortOpenFailed, false);
        return;
      }
    }
    Delay(500);
    m_serialPort.WriteString(link::kEndRelay);
    m_serialPort.WriteString(link::kIdentify);
    // The window is counted from before the first byte; arriving bytes do not extend it.
    char reply[link::kIdentificationLength];
    int received = 0;
    const uint32_t start = m_platform.clock.TickCount();
    while (!Elapsed(m_platform.clock.TickCount(), start, 2000)) {
      if (m_serialPort.BytesWaiting() == 0)
        continue;
      uint8_t byte;
      if (m_serialPort.Read(&byte, 1) != 1)
        continue;
      reply[received++] = static_cast<char>(byte);
      if (received == link::kIdentificationLength) {
        found = std::memcmp(reply, link::kIdentification, 12) == 0;
        break;
      }
    }
    if (found)
      break;
    m_serialPort.Close();
  }
  if (!found) {
    const std::string status = update_texts::kCannotFindBaseStation;
    EndUpdateWithFailure(status, status + update_texts::kFifteenBlanks,
                         UpdateOutcome::kNoBaseStation, true);
    return;
  }

  // The choice of port is frozen until the end.
  for (int id = ids::kFirstPortButton; id <= ids::kLastPortButton; ++id) {
    if (id != checked)
      m_controls.Enable(id, false);
  }
  bool failed = true;
  ModuleParameters module;

  // Is a boot loader already listening on the boot loader network?
  m_serialPort.WriteString(link::kRelay);
  SendBootLoaderNetworkFrames(m_serialPort);
  Delay(500);
  m_serialPort.PurgeInput();
  if (PollBootLoader(m_serialPort)) {
    failed = false;
  } else {
    // Back to frame mode on channel 0x0E, where the module's Setup report is heard.
    m_controls.BeginWaitCursor();
    Delay(1500);
    m_serialPort.WriteString(link::kCommandMode);
    Delay(1500);
    m_serialPort.WriteString(link::kFrameMode2);
    Delay(100);
    m_serialPort.WriteString(link::kChannel0E);
    Delay(100);
    m_serialPort.WriteString(link::kLeaveCommandMode);
    Delay(500);
    m_serialPort.WriteString(link::kEndRelay);
    m_serialPort.PurgeInput();

    CMobile_Module_ID_Dlg parameters(m_platform.clock);
    parameters.SetPort(&m_serialPort);
    if (m_platform.dialogs.RunModal(parameters) == mb::kIdCancel) {
      Delay(500);
      m_serialPort.WriteString(link::kEndRelay);
      m_serialPort.WriteString(link::kCancelReport);
      m_serialPort.WriteString(link::kRelease);
      Delay(500);
      m_serialPort.Close();
      ReturnPort();
      EnablePortButtons();
      m_controls.EndWaitCursor();
      m_controls.EndWaitCursor();
      m_lastOutcome = UpdateOutcome::kCancelled;
      return;
    }
    std::memcpy(module.moduleIdField, parameters.ModuleId(), sizeof module.moduleIdField);
    std::memcpy(module.serialHigh, parameters.NetworkSerial(), 4);
    std::memcpy(module.serialLow, parameters.NetworkSerial() + 4, 4);
    std::memcpy(module.panId, parameters.PanId(), 2);
    module.channel = parameters.ChannelNumber();

    Delay(500);
    m_serialPort.PurgeInput();
    m_serialPort.WriteString(link::kReport);
    if (ConfigureRadios(m_serialPort, module)) {
      // Back to the relay on the boot loader network, towards the module.
      Delay(200);
      m_serialPort.PurgeInput();
      m_serialPort.WriteString(link::kRelay);
      SendBootLoaderNetworkFrames(m_serialPort);
      Delay(500);
      m_serialPort.PurgeInput();
      failed = false;
    }
    m_controls.EndWaitCursor();
  }

  if (failed) {
    m_serialPort.WriteString(link::kRelease);
    Delay(500);
    m_serialPort.Close();
    const std::string text = std::string(update_texts::kUnableToConfigure) +
                             update_texts::kFifteenBlanks + update_texts::kTargetModuleId +
                             module.moduleIdField;
    EndUpdateWithFailure(text, text, UpdateOutcome::kConfigurationFailed, true);
    return;
  }

  Delay(500);
  if (!PollBootLoader(m_serialPort)) {
    Delay(500);
    m_serialPort.WriteString(link::kEndRelay);
    m_serialPort.WriteString(link::kRelease);
    Delay(500);
    m_serialPort.Close();
    const std::string status = update_texts::kNoBootLoader;
    EndUpdateWithFailure(status, status + update_texts::kFifteenBlanks,
                         UpdateOutcome::kBootLoaderSilent, true);
    return;
  }

  TransferHexPages();

  Delay(500);
  m_serialPort.WriteString(link::kEndRelay);
  m_serialPort.WriteString(link::kRelease);
  Delay(500);
  m_serialPort.Close();
  EnablePortButtons();
  ReturnPort();
  m_controls.EndWaitCursor();
}
