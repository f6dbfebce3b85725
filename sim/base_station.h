#pragma once
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "sim/api_frame.h"
#include "sim/radio.h"
#include "sim/scenario.h"
#include "sim/timeline.h"

namespace sim {

// The base station's firmware: a command interpreter on the PC's serial line that drives its
// radio through frames, a transparent relay to that radio, and the forwarding of Setup
// reports and module replies heard over the air.
class BaseStation {
 public:
  struct Config {
    std::string versionTail = "2.07\r\n";  // the last 6 bytes of the identification
    uint64_t turnaroundUs = Ms(1);
    uint64_t escapeGuardUs = Ms(100);  // quiet time before six ESC bytes end the relay
  };
  using PcSink = std::function<void(const std::vector<uint8_t>&)>;

  BaseStation(Timeline& timeline, Radio& radio, EventLog& log, const Scenario& scenario,
              const Config& config, PcSink toPc);

  // A byte the base station understood on its serial line.
  void FromPc(uint8_t byte);
  // Bytes its radio sends on their serial connection.
  void FromRadio(const std::vector<uint8_t>& bytes);

  bool Relaying() const { return relaying_; }
  bool ReportMode() const { return reportMode_; }
  // Every command recognised, in readable form ("<V", "<@:S CH=\x0F", "ESC", ...).
  const std::vector<std::string>& Commands() const { return commands_; }
  // Called when "<RS" switches report forwarding on.
  void SetReportModeHook(std::function<void()> hook) { reportModeHook_ = std::move(hook); }
  // Called after "<W", the PC's last command before it lets go of the base station.
  void SetReleaseHook(std::function<void()> hook) { releaseHook_ = std::move(hook); }
  // Called with each command as it is recognised.
  void SetCommandHook(std::function<void(const std::string&)> hook) {
    commandHook_ = std::move(hook);
  }
  // Called with the sender's radio address when a Setup report line is passed to the PC.
  void SetReportHeardHook(std::function<void(uint64_t)> hook) {
    reportHeardHook_ = std::move(hook);
  }

 private:
  enum class Stage {
    kIdle,       // waiting for '<'
    kCommand,    // after '<'
    kRelayKind,  // after "<R"
    kColon,      // after "<@"
    kRadioKind,  // after "<@:"
    kLength,     // two decimal digits
    kBody,       // n bytes of "<@:S" or "<@:P"
    kName,       // two letters of "<@:I"
    kModuleId,   // six bytes of "<@:P"
  };
  // silent-base, or base-stops reached.
  bool Silent() const;
  void CommandByte(uint8_t byte);
  // One reader per command family, each false for a byte that fits no command of its family.
  bool CommandLetter(uint8_t byte);     // after '<'
  bool RelayCommand(uint8_t byte);      // after "<R"
  bool RadioCommandByte(uint8_t byte);  // the rest of a "<@:" command
  bool LengthDigit(uint8_t byte);
  void Identify();
  void ReadParameter();
  void SetParameter();
  void PassToModule();
  void RelayByte(uint8_t byte);
  void Recognised(const std::string& command);
  void Reject(uint8_t byte);
  void Reset();
  void ReleaseHeldEscapes();
  void SendFrame(const std::vector<uint8_t>& data, bool expectResponse);
  void FrameFromRadio(const std::vector<uint8_t>& data);
  void ToPc(const std::vector<uint8_t>& bytes, uint64_t delayUs);

  Timeline& timeline_;
  Radio& radio_;
  EventLog& log_;
  const Scenario& scenario_;
  Config config_;
  PcSink toPc_;
  FrameDecoder fromRadio_{true};

  bool relaying_ = false;
  bool reportMode_ = false;
  Stage stage_ = Stage::kIdle;
  char radioKind_ = 0;
  int lengthDigits_ = 0;
  size_t length_ = 0;
  std::vector<uint8_t> field_;
  std::vector<uint8_t> moduleId_;
  std::vector<uint8_t> ignored_;
  std::set<uint8_t> awaitedResponses_;
  uint8_t nextFrameId_ = 1;

  bool anyPcByte_ = false;
  uint64_t lastPcByteUs_ = 0;
  int heldEscapes_ = 0;
  uint64_t escapeToken_ = 0;

  std::vector<std::string> commands_;
  std::function<void()> reportModeHook_;
  std::function<void()> releaseHook_;
  std::function<void(const std::string&)> commandHook_;
  std::function<void(uint64_t)> reportHeardHook_;
};

}  // namespace sim
