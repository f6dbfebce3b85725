#include "ui/module_id_dlg.h"

#include "core/control_ids.h"
#include "core/message_box.h"
#include "update/setup_report_texts.h"

namespace {
int ValueControl(SetupReport::Parameter parameter) {
  switch (parameter) {
    case SetupReport::Parameter::kModuleId:
      return ids::kModuleIdValue;
    case SetupReport::Parameter::kNetworkSerial:
      return ids::kNetworkSerialValue;
    case SetupReport::Parameter::kPanId:
      return ids::kPanIdValue;
    case SetupReport::Parameter::kRfChannel:
      return ids::kRfChannelValue;
  }
  return 0;
}
}  // namespace

int CMobile_Module_ID_Dlg::ResourceId() const {
  return ids::kModuleIdDialog;
}

bool CMobile_Module_ID_Dlg::OnInitDialog(DialogControls& controls) {
  m_controls = &controls;
  controls.SetText(ids::kModuleInstructions, setup_report_texts::kInstructions);
  controls.Enable(ids::kStartUpdate, false);
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
    m_controls->SetText(ids::kSetupPrompt, setup_report_texts::kPrompt);
    m_promptShown = 1;
    m_lastFlash = m_clock.TickCount();
  }
}

void CMobile_Module_ID_Dlg::OnTimer(unsigned) {
  if (!m_controls)
    return;
  if (!m_report.Complete())
    FlashPrompt();
  m_report.ReadWaiting([this](const SetupReport::Parameter* parameter) { LineEnded(parameter); });
}

void CMobile_Module_ID_Dlg::LineEnded(const SetupReport::Parameter* parameter) {
  if (parameter != nullptr)
    m_controls->SetText(ValueControl(*parameter), m_report.Value(*parameter));
  if (m_report.Complete()) {
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
  if (!m_report.Complete())
    return;
  m_parameters = m_report.Parameters();
  if (m_controls)
    m_controls->EndDialog(mb::kIdOk);
}

void CMobile_Module_ID_Dlg::OnDestroy() {
  if (m_controls && m_timer)
    m_controls->KillTimer(m_timer);
  m_timer = 0;
}
