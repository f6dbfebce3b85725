#pragma once
// The PC's side of an update, written out by hand: the bytes, pauses and time-outs the update
// utility uses, so the simulated devices can be checked against them.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "serial/serial_port.h"
#include "sim/devices.h"
#include "sim/in_process_serial.h"
#include "virtual_clock.h"

namespace simtest {

std::string Esc6();
std::string StoredFrames();  // the three radio frames sent after "<RP"
std::vector<uint8_t> Bytes(const std::string& text);
std::string Text(const std::vector<uint8_t>& bytes);
// A radio response frame as the base station hands it on.
std::string ResponseFrame(uint8_t id, const std::string& name, uint8_t status,
                          const std::string& value = "");
// A page image of `pages` pages with varied bytes.
std::vector<uint8_t> SampleImage(int pages);
// The 259-byte frame of one page of `image`: page number, 256 data bytes, their sum.
std::string PageFrame(const std::vector<uint8_t>& image, size_t page);

struct Bench {
  explicit Bench(const sim::Scenario& scenario = {}, const sim::Options& options = {},
                 const sim::ModuleParams& module = {}, uint32_t start = 0x10000)
      : clock(start),
        devices(module, scenario, options),
        serial(devices, [this] { return clock.Now(); }),
        port(serial, clock) {}

  // A production line of modules (`start` has no default: Bench({}, options) is the above).
  Bench(const std::vector<sim::LineModule>& modules, const sim::Options& options, uint32_t start)
      : clock(start),
        devices(modules, options),
        serial(devices, [this] { return clock.Now(); }),
        port(serial, clock) {}

  void Wait(uint32_t ms) { clock.Advance(ms); }
  void Send(const std::string& text) { port.Write(text.data(), static_cast<int>(text.size())); }
  std::string ReadBytes(int count, uint32_t timeoutMs);
  // Whatever arrives within `ms`.
  std::string Collect(uint32_t ms);

  VirtualClock clock;
  sim::Devices devices;
  sim::InProcessSerial serial;
  CSerialPort port;
};

struct UpdateResult {
  // Where the run ended: "open", "base station", "report", "cancelled", "row N",
  // "boot loader", "version", "ready", "page N" or "done".
  std::string stage;
  std::string reason;  // "no response" or "invalid" for the transfer's failures
  int baud = 0;
  bool bootLoaderWaiting = false;             // the first poll was answered
  std::map<std::string, std::string> report;  // the four Setup report values by label name
  std::map<int, std::string> rowReplies;      // rows 1 to 9
  std::string identification;                 // boot loader identification and ready byte
  int frameSends = 0;
};

struct UpdateRun {
  bool pressSetupButton = true;     // the script's user presses it 300 ms after "<RS"
  uint32_t reportWaitMs = 3000;     // how long the user waits for the report
  std::set<std::string> cancelIds;  // reported module IDs the user cancels ("cancelled")
};

// Runs the whole update over the bench's port: base station search, relay and radio set-up,
// Setup report, radio configuration rows 1 to 10, boot loader check, paged transfer, and the
// closing of the link.
UpdateResult RunUpdate(Bench& bench, const std::vector<uint8_t>& image, const UpdateRun& run = {});

}  // namespace simtest
