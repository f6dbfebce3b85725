// Which COM ports exist, their buttons, and the port checked for the next update.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "ui/firmware_update_dlg.h"
#include "ui/main_dialog_texts.h"

namespace {
// The enumeration's buffers: value names of up to 500 characters plus their NUL, data of up
// to 51 bytes. A value that does not fit ends the enumeration.
constexpr std::size_t kValueNameBuffer = 501;
constexpr std::size_t kValueDataBuffer = 51;

// The data as a C string, compared without regard to letter case.
bool EqualsIgnoringCase(const std::string& data, const std::string& name) {
  const std::string text(data.c_str());
  if (text.size() != name.size())
    return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(name[i]))) {
      return false;
    }
  }
  return true;
}
}  // namespace

void CFirmwareUpdateDlg::FindSerialPorts() {
  std::fill(std::begin(m_portTable), std::end(m_portTable), 0);
  std::vector<SerialPortListValue> values;
  if (!m_platform.portList.Enumerate(values)) {
    m_controls.MessageBox(main_texts::kNoSerialPorts, m_applicationName,
                          mb::kOk | mb::kIconExclamation);
    return;
  }
  for (const SerialPortListValue& value : values) {
    if (value.name.size() + 1 > kValueNameBuffer || value.data.size() > kValueDataBuffer)
      break;
    for (int port = 1; port <= ids::kPortCount; ++port) {
      if (EqualsIgnoringCase(value.data, "COM" + std::to_string(port))) {
        m_portTable[port - 1] = 1;
        break;
      }
    }
  }
}

void CFirmwareUpdateDlg::EnablePortButtons() {
  for (int port = 1; port <= ids::kPortCount; ++port) {
    m_controls.Enable(ids::kFirstPortButton + port - 1, m_portTable[port - 1] != 0);
  }
}

void CFirmwareUpdateDlg::RefreshSerialPorts() {
  const int saved =
      m_platform.profile.GetInt(profile::kSettingsSection, profile::kComPortEntry, -1);
  FindSerialPorts();
  EnablePortButtons();

  int chosen = 0;
  if (saved >= 1 && saved <= ids::kPortCount && m_portTable[saved - 1] != 0) {
    chosen = saved;
  } else {
    for (int port = 1; port <= ids::kPortCount && chosen == 0; ++port) {
      if (m_portTable[port - 1] != 0)
        chosen = port;
    }
  }
  if (chosen == 0) {
    // No id of the range: every button unchecked.
    m_controls.CheckRadioButton(ids::kFirstPortButton, ids::kLastPortButton, 0);
    return;
  }
  m_controls.CheckRadioButton(ids::kFirstPortButton, ids::kLastPortButton,
                              ids::kFirstPortButton + chosen - 1);
  // Never disabled here: only the firmware checks do that.
  if (!m_firmwareFileName.empty())
    m_controls.Enable(ids::kBeginUpdate, true);
}
