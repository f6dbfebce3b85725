#pragma once
#include <functional>
#include <string>
#include <vector>

#include "dialog_fixture.h"
#include "sim/devices.h"
#include "sim/in_process_serial.h"

// Wraps a serial backend and lets a test alter what the devices send back: every byte read
// goes through `filter`, which may change it or drop it (return false).
class FilteringSerial : public SerialBackend {
 public:
  explicit FilteringSerial(SerialBackend& inner) : inner_(inner) {}
  bool Open(int port, const LineSettings& s) override { return inner_.Open(port, s); }
  void Close() override { inner_.Close(); }
  uint32_t BytesWaiting() override;
  uint32_t Read(uint8_t* buffer, uint32_t max) override;
  bool Write(const uint8_t* data, uint32_t length) override { return inner_.Write(data, length); }
  bool PurgeInput() override;
  std::function<bool(uint8_t&)> filter;

 private:
  void Fill();
  SerialBackend& inner_;
  std::vector<uint8_t> kept_;
};

// A whole update on virtual time: the main dialog's logic over the simulated base station
// and module, COM3 listed and checked, firmware files in a fresh program directory, and a
// user who presses Start Update as soon as it is enabled.
struct UpdateHarness {
  explicit UpdateHarness(const sim::Scenario& scenario = {},
                         const sim::Options& options = DefaultOptions(),
                         const sim::ModuleParams& module = {});

  static sim::Options DefaultOptions();

  // Writes the firmware files, lists the ports and initialises the dialog.
  void Prepare(const std::string& hexText, const std::vector<std::string>& ports = {"COM3"});
  // Begin Update; returns the virtual milliseconds it took.
  uint32_t Update();

  // Everything the base station understood, as text (bytes unchanged).
  std::string BaseReceived() const;
  const std::vector<RecordedMessageBox>& Boxes() const { return f.controls.messageBoxes; }
  std::string Text(int id) { return f.controls.GetText(id); }

  sim::Devices devices;
  sim::InProcessSerial simulated;
  FilteringSerial serial;
  DialogFixture f;
};

// A HEX file whose image is `pages` full pages of varied bytes, in records of `recordSize`.
std::string PagesHex(int pages, int recordSize = 16);
// The page image a HEX text converts to.
std::vector<uint8_t> ImageOf(const std::string& hexText);
