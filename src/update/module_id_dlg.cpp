#include "update/module_id_dlg.h"

#include <cstring>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "update/link_protocol.h"
#include "update/module_id_texts.h"

namespace {
const char* SkipBlanksAndSign(const char* text, bool* negative) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  *negative = *text == '-';
  if (*text == '+' || *text == '-')
    ++text;
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}
}  // namespace

uint32_t ReadHexNumber(const char* text) {
  bool negative;
  text = SkipBlanksAndSign(text, &negative);
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X') && HexDigit(text[2]) >= 0)
    text += 2;
  uint64_t value = 0;
  for (int digit; (digit = HexDigit(*text)) >= 0; ++text) {
    value = value * 16 + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFu)
      value = 0xFFFFFFFFu;  // saturates as a 32-bit reader does
  }
  const auto result = static_cast<uint32_t>(value);
  return negative ? 0u - result : result;
}

int ReadDecimalNumber(const char* text) {
  bool negative;
  text = SkipBlanksAndSign(text, &negative);
  int64_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > 0x7FFFFFFF)
      value = 0x7FFFFFFF;
  }
  return static_cast<int>(negative ? -value : value);
}

CMobile_Module_ID_Dlg::CMobile_Module_ID_Dlg(Clock& clock) : m_clock(clock) {}

int CMobile_Module_ID_Dlg::ResourceId() const {
  return ids::kModuleIdDialog;
}

bool CMobile_Module_ID_Dlg::OnInitDialog(DialogControls& controls) {
  m_controls = &controls;
  controls.SetText(ids::kModuleInstructions, module_id_texts::kInstructions);
  if (m_port)
    m_port->WriteString(protocol::kReport);
  controls.Enable(ids::kStartUpdate, false);
  m_channelNumber = 0;
  m_received = 0;
  controls.SetTimer(kTimerId, kTimerPeriodMs);
  m_timer = kTimerId;
  return true;
}

void CMobile_Module_ID_Dlg::FlashPrompt() {
  const uint32_t now = m_clock.TickCount();
  if (m_promptShown && static_cast<uint32_t>(now - m_lastFlash) > 1500) {
    m_controls->SetText(ids::kSetupPrompt, "");
    m_promptShown = 0;
    m_lastFlash = m_clock.TickCount();
  } else if (!m_promptShown && static_cast<uint32_t>(now - m_lastFlash) > 250) {
    m_controls->SetText(ids::kSetupPrompt, module_id_texts::kPrompt);
    m_promptShown = 1;
    m_lastFlash = m_clock.TickCount();
  }
}

void CMobile_Module_ID_Dlg::OnTimer(unsigned) {
  if (!m_controls)
    return;
  if (m_received != kAllReceived)
    FlashPrompt();
  if (!m_port)
    return;
  while (m_port->BytesWaiting() != 0) {
    uint8_t byte;
    if (m_port->Read(&byte, 1) != 1)
      break;
    const int before = m_lineLength;
    TakeReportByte(byte);
    // A line of 100 characters without CR was dropped: the rest waits for the next tick.
    if (byte != '\r' && before == static_cast<int>(sizeof m_line) - 1)
      break;
  }
}

void CMobile_Module_ID_Dlg::TakeReportByte(uint8_t byte) {
  m_line[m_lineLength] = static_cast<char>(byte);
  if (byte != '\r') {
    if (++m_lineLength == static_cast<int>(sizeof m_line))
      m_lineLength = 0;
    return;
  }
  EndReportLine();
  m_lineLength = 0;
}

void CMobile_Module_ID_Dlg::EndReportLine() {
  using update_events::Parameter;
  struct Field {
    const char* label;
    char* member;
    std::size_t size;  // including the NUL
    int control;
    uint8_t bit;
    Parameter parameter;
  };
  const Field fields[] = {
      {module_id_texts::kModuleIdLabel, m_moduleId, sizeof m_moduleId, ids::kModuleIdValue, 1,
       Parameter::kModuleId},
      {module_id_texts::kNetworkSerialLabel, m_networkSerial, sizeof m_networkSerial,
       ids::kNetworkSerialValue, 2, Parameter::kNetworkSerial},
      {module_id_texts::kPanIdLabel, m_panId, sizeof m_panId, ids::kPanIdValue, 4,
       Parameter::kPanId},
      {module_id_texts::kRfChannelLabel, m_rfChannel, sizeof m_rfChannel, ids::kRfChannelValue, 8,
       Parameter::kRfChannel},
  };
  for (const Field& field : fields) {
    if (std::memcmp(m_line, field.label, module_id_texts::kLabelLength) != 0)
      continue;
    m_line[m_lineLength] = '\0';
    const char* value = m_line + module_id_texts::kLabelLength;
    // A line shorter than its label cannot match (its CR differs), so the value starts
    // inside the collected line.
    const std::size_t length = std::strlen(value);
    if (length >= 1 && length <= field.size - 1) {
      std::memset(field.member, 0, field.size);
      std::memcpy(field.member, value, length + 1);
      if (m_controls)
        m_controls->SetText(field.control, field.member);
      m_received |= field.bit;
      if (field.member == m_rfChannel) {
        m_channelNumber = static_cast<uint8_t>(ReadDecimalNumber(m_rfChannel));
      }
      if (m_observer) {
        m_observer->OnUpdateEvent(
            update_events::ParameterReceived{m_clock.TickCount(), field.parameter, field.member});
      }
    }
    break;
  }
  if (m_received == kAllReceived && m_controls) {
    m_controls->SetText(ids::kSetupPrompt, "");
    m_controls->Enable(ids::kStartUpdate, true);
  }
}

void CMobile_Module_ID_Dlg::OnCommand(int id) {
  if (id == ids::kStartUpdate) {
    OnStartUpdate();
  } else if (id == mb::kIdCancel) {
    if (m_controls)
      m_controls->EndDialog(mb::kIdCancel);
  }
  // IDOK (Enter) does nothing.
}

void CMobile_Module_ID_Dlg::OnStartUpdate() {
  // Only reachable once all four values arrived (the button is disabled before).
  if (m_received != kAllReceived)
    return;
  m_networkSerial[8] = '\0';
  const uint32_t high = ReadHexNumber(m_networkSerial);
  const uint32_t low = ReadHexNumber(m_networkSerial + 9);
  const uint32_t pan = ReadHexNumber(m_panId);
  auto* serial = reinterpret_cast<uint8_t*>(m_networkSerial);
  for (int i = 0; i < 4; ++i) {
    serial[i] = static_cast<uint8_t>(high >> (24 - 8 * i));
    serial[4 + i] = static_cast<uint8_t>(low >> (24 - 8 * i));
  }
  auto* panBytes = reinterpret_cast<uint8_t*>(m_panId);
  panBytes[0] = static_cast<uint8_t>(pan >> 8);
  panBytes[1] = static_cast<uint8_t>(pan);
  if (m_controls)
    m_controls->EndDialog(mb::kIdOk);
}

void CMobile_Module_ID_Dlg::OnDestroy() {
  if (m_controls && m_timer)
    m_controls->KillTimer(m_timer);
  m_timer = 0;
}
