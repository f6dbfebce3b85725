#pragma once
#include <cstdint>

#include "core/clock.h"
#include "core/modal_dialog.h"
#include "update/setup_report.h"

// The control-parameter dialog: tells the user how to make the module report its
// parameters, reads the Setup report from the channel on a 10 ms timer, shows the four
// values as they arrive, and offers Start Update once all four are there.
class CMobile_Module_ID_Dlg : public ModalDialog {
 public:
  static constexpr unsigned kTimerId = 100;
  static constexpr unsigned kTimerPeriodMs = 10;

  // `report` reads the channel; not owned.
  CMobile_Module_ID_Dlg(Clock& clock, SetupReport& report) : m_clock(clock), m_report(report) {}

  int ResourceId() const override;
  bool OnInitDialog(DialogControls& controls) override;
  void OnTimer(unsigned id) override;
  void OnCommand(int id) override;
  void OnDestroy() override;

  const SetupReport& Report() const { return m_report; }
  // The values converted on Start Update.
  const ModuleParameters& Parameters() const { return m_parameters; }

 private:
  void OnStartUpdate();
  void FlashPrompt();
  // A report line has ended: its value shown, and Start Update offered once all are there.
  void LineEnded(const SetupReport::Parameter* parameter);

  Clock& m_clock;
  SetupReport& m_report;
  DialogControls* m_controls = nullptr;
  ModuleParameters m_parameters;
  unsigned m_timer = 0;
  uint32_t m_lastFlash = 9999;
  int m_promptShown = 0;
};
