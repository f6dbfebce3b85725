#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "core/clock.h"
#include "serial/serial_port.h"
#include "update/update_events.h"
#include "update/update_outcome.h"

// The module's control parameters as the radio commands use them.
struct ModuleParameters {
  char moduleIdField[7] = {};  // NUL-padded; the "<@:P" commands send the first 6 bytes
  uint8_t serialHigh[4] = {};
  uint8_t serialLow[4] = {};
  uint8_t panId[2] = {};
  uint8_t channel = 0;
};

// The module's Setup report as it arrives over the channel: lines ending in CR, four of which
// carry a control parameter after their 26-character label. Keeps the values and converts them
// for the radio commands once all four are there.
class SetupReport {
 public:
  using Parameter = update_events::Parameter;
  static constexpr uint8_t kAllReceived = 15;
  // Told about each line's end: the parameter it carried, or nullptr.
  using LineEnded = std::function<void(const Parameter* parameter)>;

  // `port` and `observer` are not owned; either may be null (fuzzing feeds bytes directly).
  SetupReport(CSerialPort* port, Clock& clock, UpdateObserver* observer)
      : port_(port), clock_(clock), observer_(observer) {}

  // Turns the base station's forwarding of the report on ("<RS").
  void Begin();
  // Takes every byte waiting. A line of 100 characters without CR is dropped, and what follows
  // it waits for the next call.
  void ReadWaiting(const LineEnded& lineEnded = {});
  void TakeByte(uint8_t byte, const LineEnded& lineEnded = {});
  // Takes every byte waiting without reading it into the report, which stays as it is: the
  // values of a module already decided on are not overwritten by another module's report.
  void SkipWaiting();

  // The parameter's text as the report gave it (empty until it came).
  const char* Value(Parameter parameter) const;
  // One bit per parameter received: 1 module ID, 2 network serial, 4 PAN ID, 8 RF channel.
  uint8_t Received() const { return received_; }
  bool Complete() const { return received_ == kAllReceived; }
  // Every byte taken so far, whole lines or not: tells a host when the report has gone quiet.
  uint32_t BytesTaken() const { return bytesTaken_; }
  ModuleReport Texts() const;
  // The values converted for the radio commands.
  ModuleParameters Parameters() const;

 private:
  // Ends the line being collected and stores the value it carries, if any.
  const Parameter* EndLine();

  CSerialPort* port_;
  Clock& clock_;
  UpdateObserver* observer_;
  char moduleId_[7] = {};
  char networkSerial_[18] = {};
  char panId_[5] = {};
  char rfChannel_[3] = {};
  uint8_t received_ = 0;
  uint32_t bytesTaken_ = 0;
  char line_[100] = {};
  int lineLength_ = 0;
};

// Number readers with the leniency of the C library's: leading blanks, an optional sign,
// digits up to the first other character, nothing readable giving 0.
uint32_t ReadHexNumber(const char* text);
int ReadDecimalNumber(const char* text);
