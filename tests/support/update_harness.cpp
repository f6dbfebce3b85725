#include "update_harness.h"

#include "core/control_ids.h"
#include "firmware/hex_page_image.h"
#include "hex_records.h"

uint32_t FilteringSerial::BytesWaiting() {
  Fill();
  return static_cast<uint32_t>(kept_.size());
}

uint32_t FilteringSerial::Read(uint8_t* buffer, uint32_t max) {
  Fill();
  uint32_t n = 0;
  while (n < max && n < kept_.size()) {
    buffer[n] = kept_[n];
    ++n;
  }
  kept_.erase(kept_.begin(), kept_.begin() + n);
  return n;
}

bool FilteringSerial::PurgeInput() {
  kept_.clear();
  return inner_.PurgeInput();
}

void FilteringSerial::Fill() {
  while (inner_.BytesWaiting() != 0) {
    uint8_t byte;
    if (inner_.Read(&byte, 1) != 1)
      break;
    if (!filter || filter(byte))
      kept_.push_back(byte);
  }
}

sim::Options UpdateHarness::DefaultOptions() {
  sim::Options options;
  options.pressSetupAfterReportModeMs = 1500;
  // The radio as the devices are described: "+++" needs 1500 ms of silence on both sides.
  options.radioGuardMs = 1500;
  return options;
}

UpdateHarness::UpdateHarness(const sim::Scenario& scenario, const sim::Options& options,
                             const sim::ModuleParams& module)
    : devices(module, scenario, options),
      simulated(devices, [this] { return f.clock.Now(); }),
      serial(simulated),
      f(&serial) {
  f.host.user = [](ModalDialog& dialog, RecordingControls& controls, uint32_t) {
    if (controls.IsEnabled(ids::kStartUpdate))
      dialog.OnCommand(ids::kStartUpdate);
  };
}

void UpdateHarness::Prepare(const std::string& hexText, const std::vector<std::string>& ports) {
  f.WriteFirmware(hexText);
  f.ports.SetPorts(ports);
  f.dlg->OnInitDialog();
}

uint32_t UpdateHarness::Update() {
  const uint32_t start = f.clock.Now();
  f.dlg->OnBeginUpdate();
  return f.clock.Now() - start;
}

std::string UpdateHarness::BaseReceived() const {
  const auto& bytes = devices.BaseReceived();
  return std::string(bytes.begin(), bytes.end());
}

std::string PagesHex(int pages, int recordSize) {
  std::string text;
  const int total = pages * 256;
  for (int address = 0; address < total; address += recordSize) {
    std::vector<uint8_t> data;
    for (int i = address; i < address + recordSize && i < total; ++i) {
      data.push_back(static_cast<uint8_t>((i * 7) ^ (i >> 8) ^ 0x5A));
    }
    text += HexRecord(static_cast<unsigned>(address), data) + "\r\n";
  }
  return text + HexEndOfFile() + "\r\n";
}

std::vector<uint8_t> ImageOf(const std::string& hexText) {
  return ConvertHexTextToPageImage(hexText).image;
}
