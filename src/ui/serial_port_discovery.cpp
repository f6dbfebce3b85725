// Which COM ports exist, their buttons, and the port checked for the next update.
#include <string>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "serial/port_discovery.h"
#include "ui/firmware_update_dlg.h"
#include "ui/main_dialog_texts.h"

void CFirmwareUpdateDlg::FindSerialPorts() {
  const ComPorts ports = FindComPorts(m_platform.portList);
  if (!ports.listed) {
    m_controls.MessageBox(main_texts::kNoSerialPorts, m_applicationName,
                          mb::kOk | mb::kIconExclamation);
  }
  for (int port = 1; port <= ids::kPortCount; ++port) m_portTable[port - 1] = ports.Exists(port);
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

  ComPorts ports;
  for (int port = 1; port <= ids::kPortCount; ++port)
    ports.exists[port - 1] = m_portTable[port - 1];
  const int chosen = ChooseComPort(ports, saved);
  if (chosen == 0) {
    // No id of the range: every button unchecked.
    m_controls.CheckRadioButton(ids::kFirstPortButton, ids::kLastPortButton, 0);
    return;
  }
  m_controls.CheckRadioButton(ids::kFirstPortButton, ids::kLastPortButton,
                              ids::kFirstPortButton + chosen - 1);
  // Never disabled here: only the firmware checks do that.
  if (!m_firmware.HexFileName().empty())
    m_controls.Enable(ids::kBeginUpdate, true);
}
