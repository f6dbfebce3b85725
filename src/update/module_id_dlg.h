#pragma once
#include <cstdint>

#include "core/clock.h"
#include "core/modal_dialog.h"
#include "serial/serial_port.h"
#include "update/update_events.h"

// The control-parameter dialog: tells the user how to make the module report its
// parameters, reads the Setup report lines from the channel on a 10 ms timer, shows the four
// values as they arrive and converts them for the radio commands on Start Update.
class CMobile_Module_ID_Dlg : public ModalDialog {
 public:
  static constexpr unsigned kTimerId = 100;
  static constexpr unsigned kTimerPeriodMs = 10;
  static constexpr uint8_t kAllReceived = 15;

  explicit CMobile_Module_ID_Dlg(Clock& clock);

  // The main dialog's channel; not owned.
  void SetPort(CSerialPort* port) { m_port = port; }
  // Hears each control parameter as it arrives; not owned.
  void SetObserver(UpdateObserver* observer) { m_observer = observer; }

  int ResourceId() const override;
  bool OnInitDialog(DialogControls& controls) override;
  void OnTimer(unsigned id) override;
  void OnCommand(int id) override;
  void OnDestroy() override;

  // Values after Start Update.
  const char* ModuleId() const { return m_moduleId; }
  // Bytes 0-3: network serial number high part, 4-7: low part, most significant first.
  const uint8_t* NetworkSerial() const { return reinterpret_cast<const uint8_t*>(m_networkSerial); }
  // Bytes 0-1: PAN ID, most significant first.
  const uint8_t* PanId() const { return reinterpret_cast<const uint8_t*>(m_panId); }
  uint8_t ChannelNumber() const { return m_channelNumber; }
  uint8_t Received() const { return m_received; }

  // Feeds bytes to the report-line reader as the timer would (used by fuzzing).
  void TakeReportByte(uint8_t byte);

 private:
  void OnStartUpdate();
  void FlashPrompt();
  // Ends the line being collected and stores the value it carries, if any.
  void EndReportLine();

  Clock& m_clock;
  DialogControls* m_controls = nullptr;
  CSerialPort* m_port = nullptr;
  UpdateObserver* m_observer = nullptr;
  char m_moduleId[7] = {};
  char m_networkSerial[18] = {};
  char m_panId[5] = {};
  char m_rfChannel[3] = {};
  uint8_t m_channelNumber = 0;
  uint8_t m_received = 0;
  unsigned m_timer = 0;
  char m_line[100] = {};
  int m_lineLength = 0;
  uint32_t m_lastFlash = 9999;
  int m_promptShown = 0;
};

// Number readers with the leniency of the C library's: leading blanks, an optional sign,
// digits up to the first other character, nothing readable giving 0.
uint32_t ReadHexNumber(const char* text);
int ReadDecimalNumber(const char* text);
