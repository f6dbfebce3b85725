// Any bytes as the module's Setup report: the control-parameter dialog's line reader must not
// crash or read past its line, must keep exactly the values a plain reading of the lines
// gives, and Start Update must convert them as the C library's number readers would.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "fuzz_check.h"
#include "recording_controls.h"
#include "serial/serial_port.h"
#include "ui/module_id_dlg.h"
#include "update/setup_report_texts.h"
#include "virtual_clock.h"

namespace {

// Everything the input holds is waiting in the receive queue at once.
class WaitingBytes : public SerialBackend {
 public:
  bool Open(int, const LineSettings&) override { return true; }
  void Close() override {}
  uint32_t BytesWaiting() override { return static_cast<uint32_t>(bytes.size()); }
  uint32_t Read(uint8_t* buffer, uint32_t max) override {
    uint32_t n = 0;
    for (; n < max && !bytes.empty(); ++n) {
      buffer[n] = bytes.front();
      bytes.pop_front();
    }
    return n;
  }
  bool Write(const uint8_t*, uint32_t) override { return true; }
  bool PurgeInput() override {
    bytes.clear();
    return true;
  }
  std::deque<uint8_t> bytes;
};

// The report as a reader of lines sees it: a line ends at CR, a line that reaches 100
// characters without one is dropped, and a value is the text after its 26-character label up
// to the CR (or an embedded NUL).
struct ReportModel {
  struct Field {
    const char* label;
    std::size_t longest;
    int control;
    std::string value;
    bool received = false;
  };
  Field fields[4] = {{setup_report_texts::kModuleIdLabel, 6, ids::kModuleIdValue, {}},
                     {setup_report_texts::kNetworkSerialLabel, 17, ids::kNetworkSerialValue, {}},
                     {setup_report_texts::kPanIdLabel, 4, ids::kPanIdValue, {}},
                     {setup_report_texts::kRfChannelLabel, 2, ids::kRfChannelValue, {}}};
  std::string line;
  uint8_t channel = 0;

  void Take(uint8_t byte) {
    if (byte != '\r') {
      line.push_back(static_cast<char>(byte));
      if (line.size() == 100)
        line.clear();
      return;
    }
    for (Field& field : fields) {
      if (line.compare(0, 26, field.label) != 0 || line.size() < 26)
        continue;
      std::string value = line.substr(26);
      value = value.substr(0, value.find('\0'));
      if (!value.empty() && value.size() <= field.longest) {
        field.value = value;
        field.received = true;
        if (&field == &fields[3])
          channel = static_cast<uint8_t>(std::strtol(value.c_str(), nullptr, 10));
      }
      break;
    }
    line.clear();
  }
  bool All() const {
    return fields[0].received && fields[1].received && fields[2].received && fields[3].received;
  }
};

uint32_t Hex(const std::string& text) {
  return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  // The first byte picks the road: through the dialog's timer and the channel, or straight
  // into the line reader. Both must end in the same state.
  const bool throughTimer = (data[0] & 1) != 0;
  ++data;
  --size;

  VirtualClock clock;
  WaitingBytes device;
  CSerialPort port(device, clock);
  FUZZ_CHECK(port.Open(3, 9600, 'N', 8, 1) == 1, "the channel opens");
  RecordingControls controls;
  SetupReport report(throughTimer ? &port : nullptr, clock, nullptr);
  CMobile_Module_ID_Dlg dialog(clock, report);
  dialog.OnInitDialog(controls);

  ReportModel model;
  for (std::size_t i = 0; i < size; ++i) model.Take(data[i]);
  if (throughTimer) {
    device.bytes.assign(data, data + size);
    // Every tick takes at least one byte, so this ends.
    for (std::size_t ticks = 0; !device.bytes.empty(); ++ticks) {
      FUZZ_CHECK(ticks <= size, "each tick reads what is waiting");
      dialog.OnTimer(CMobile_Module_ID_Dlg::kTimerId);
    }
  } else {
    for (std::size_t i = 0; i < size; ++i) report.TakeByte(data[i]);
  }

  uint8_t bits = 0;
  for (int i = 0; i < 4; ++i) {
    const ReportModel::Field& field = model.fields[i];
    if (field.received)
      bits = static_cast<uint8_t>(bits | (1 << i));
    if (!throughTimer)
      continue;
    if (field.received)
      FUZZ_CHECK(controls.GetText(field.control) == field.value, "the value is shown as received");
    else
      FUZZ_CHECK(controls.History(field.control).empty(), "no value, nothing shown");
  }
  const char* moduleId = report.Value(SetupReport::Parameter::kModuleId);
  FUZZ_CHECK(report.Received() == bits, "a bit for each value that arrived");
  if (model.fields[0].received)
    FUZZ_CHECK(moduleId == model.fields[0].value, "the module ID is kept as received");
  FUZZ_CHECK(std::strlen(moduleId) <= 6, "the module ID fits its field");
  if (model.fields[3].received)
    FUZZ_CHECK(report.Parameters().channel == model.channel, "the channel is read as a decimal");
  FUZZ_CHECK(report.Complete() == model.All(), "complete exactly when all four values arrived");
  if (throughTimer)
    FUZZ_CHECK(controls.IsEnabled(ids::kStartUpdate) == model.All(),
               "Start Update is enabled exactly when all four values arrived");

  dialog.OnCommand(ids::kStartUpdate);
  FUZZ_CHECK(controls.ended == model.All(), "Start Update ends the dialog only when complete");
  if (controls.ended) {
    FUZZ_CHECK(controls.endResult == mb::kIdOk, "Start Update is the dialog's OK");
    FUZZ_CHECK(controls.GetText(ids::kSetupPrompt).empty(), "the prompt is cleared");
    const std::string& serial = model.fields[1].value;
    const uint32_t high = Hex(serial.substr(0, 8));
    const uint32_t low = serial.size() > 9 ? Hex(serial.substr(9)) : 0;
    const uint32_t pan = Hex(model.fields[2].value);
    const uint8_t expected[10] = {
        static_cast<uint8_t>(high >> 24), static_cast<uint8_t>(high >> 16),
        static_cast<uint8_t>(high >> 8),  static_cast<uint8_t>(high),
        static_cast<uint8_t>(low >> 24),  static_cast<uint8_t>(low >> 16),
        static_cast<uint8_t>(low >> 8),   static_cast<uint8_t>(low),
        static_cast<uint8_t>(pan >> 8),   static_cast<uint8_t>(pan)};
    const ModuleParameters& module = dialog.Parameters();
    FUZZ_CHECK(std::memcmp(module.serialHigh, expected, 4) == 0 &&
                   std::memcmp(module.serialLow, expected + 4, 4) == 0,
               "the network S/N halves are read as hexadecimal");
    FUZZ_CHECK(std::memcmp(module.panId, expected + 8, 2) == 0, "the PAN ID is hexadecimal");
    FUZZ_CHECK(std::strcmp(module.moduleIdField, model.fields[0].value.c_str()) == 0,
               "the module ID is handed on unchanged");
  }
  dialog.OnDestroy();
  FUZZ_CHECK(controls.timers.empty(), "the timer stops with the window");
  return 0;
}
