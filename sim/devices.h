#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "serial/serial_backend.h"
#include "sim/line_module.h"
#include "sim/module.h"
#include "sim/module_slot.h"
#include "sim/radio.h"
#include "sim/scenario.h"
#include "sim/station.h"
#include "sim/tick_clock.h"
#include "sim/timeline.h"

namespace sim {

struct Options {
  // The unit of the tick counts callers pass in: milliseconds by default; the standalone
  // program passes microseconds so that replies are not held to the next whole millisecond.
  uint32_t tickUs = 1000;
  uint32_t baseBaud = 9600;       // the only rate at which the base station understands
  bool emulateWireTime = false;   // each byte takes 10 bits at the baud rate, both ways
  uint32_t hopLatencyMs = 5;      // one radio packet through the air
  uint32_t pageWriteMs = 20;      // boot loader: from a good page frame to its "!"
  uint32_t turnaroundMs = 1;      // any device: from a request to its answer
  uint32_t radioGuardMs = 1000;   // the radios' silence before and after "+++"
  uint32_t escapeGuardMs = 100;   // base station: silence before six ESC bytes end the relay
  uint32_t bootStartMs = 50;      // module: from "#:Z" until its boot loader listens
  uint32_t reportLineGapMs = 10;  // module: between two Setup report lines
  uint32_t frameGapMs = 200;      // boot loader: an incomplete frame is dropped after this
  // When not negative, the Setup button is pressed this long after "<RS" turns the base
  // station's report forwarding on (as a user would after reading the instructions).
  int32_t pressSetupAfterReportModeMs = -1;
  std::string baseVersion = "2.07\r\n";  // the last 6 bytes of the identification
  // The base station's own radio.
  uint32_t baseSerialHigh = 0x00A2B3C4;
  uint32_t baseSerialLow = 0x40112233;
  uint16_t basePanId = 0x4B56;
  uint8_t baseChannel = 0x0C;
};

// Station `number` (from 1) as the options and its faults make it; its radio's address is
// the options' plus number - 1.
Station::Setup MakeStationSetup(const Options& options, const Scenario& faults, size_t number);

// A station's place in a line of several (sim::Line): the timeline, clock and log it shares
// with the others, its number (from 1), each module's place among all the line's modules (from
// 1) and how many there are, and the rate of its air.
struct StationPlace {
  Timeline& timeline;
  TickClock& clock;
  EventLog& log;
  size_t number;
  std::vector<size_t> moduleNumbers;
  size_t moduleCount;
  uint32_t airRateBitsPerS;
  Scenario faults;  // what its base station follows while its box is empty
};

// The base station on the PC's serial line, its radio, and the modules with their radios, on
// one simulated timeline. Every call takes the caller's millisecond tick count (wrapping at
// 2^32); the devices catch up to it before they do anything else. Time never runs backwards:
// an earlier tick count counts as no time passed.
class Devices {
 public:
  // One module, there for the whole run; `scenario` holds the faults of every device.
  explicit Devices(const ModuleParams& module = {}, const Scenario& scenario = {},
                   const Options& options = {});
  // A production line: the modules come within reach one after another, the first at once.
  // Once the PC releases the base station ("<W") after the module within reach took part
  // (see TookPart), that module is taken away for good and the next one comes. The base
  // station and its radio follow the faults of the module within reach; the serial line's rate
  // is the first module's baud= or Options::baseBaud. An empty list is one default module.
  Devices(const std::vector<LineModule>& modules, const Options& options);
  // One station of several in its own test box: its modules as above, heard by it alone, on the
  // line's timeline. A closed port also takes away a module whose update is complete. The box
  // may be empty (then only the calls with a module index are of use).
  Devices(const std::vector<LineModule>& modules, const Options& options,
          const StationPlace& place);
  ~Devices();
  Devices(const Devices&) = delete;
  Devices& operator=(const Devices&) = delete;

  // The PC's side of the serial line.
  void PcOpened(const LineSettings& settings, uint32_t now);
  void PcClosed(uint32_t now);
  void FromPc(const uint8_t* data, size_t length, uint32_t now);
  void AdvanceTo(uint32_t now);
  size_t ToPcAvailable(uint32_t now);
  size_t ReadToPc(uint8_t* buffer, size_t max, uint32_t now);
  // Drops what has arrived at the PC; bytes still on the wire arrive later.
  void PurgeToPc(uint32_t now);
  bool PcOpen() const { return station_->PcOpen(); }
  // The base station with its radio and serial line.
  Station& GetStation() { return *station_; }
  const Station& GetStation() const { return *station_; }

  // The user presses the Setup button of the module within reach at that tick count (now, if
  // it has passed).
  void PressSetupButton(uint32_t when);

  // Ticks until something is due (an event or a byte reaching the PC), at most `cap`.
  uint32_t TicksUntilNextActivity(uint32_t now, uint32_t cap);

  // What happened.
  const std::vector<PcSession>& Sessions() const { return station_->Sessions(); }
  // Every byte the base station understood from the PC, in order, across all sessions.
  const std::vector<uint8_t>& BaseReceived() const { return station_->BaseReceived(); }
  // The base station's recognised commands ("<V", "<RP", "ESC", "<@:S CH=\x0F", ...).
  const std::vector<std::string>& CommandLog() const;
  bool BaseRelaying() const;
  bool BaseReportMode() const;
  const RadioState& BaseRadio() const;
  uint32_t BaseBaud() const { return station_->Baud(); }
  // The faults the base station follows now.
  const Scenario& GetScenario() const { return lineScenario_; }
  const EventLog& Log() const { return log_; }
  void SetLogHook(EventLog::Hook hook) { log_.SetHook(std::move(hook)); }

  // The modules, counted from 0 in the order they come.
  size_t ModuleCount() const { return slots_.size(); }
  // The one within reach now; ModuleCount() once the last one has been taken away.
  size_t CurrentModule() const { return current_; }
  // It has sent its Setup report, or its boot loader has heard from the PC.
  bool TookPart(size_t module) const;
  bool TakenAway(size_t module) const;
  // The base station's commands from its coming to its going (the "<W" included).
  std::vector<std::string> CommandLog(size_t module) const;
  // Every 259-byte page frame its boot loader received, in order, resends included.
  const std::vector<std::vector<uint8_t>>& PageFrames(size_t module) const;
  // The pages accepted in its current or last transfer, as one flat image.
  const std::vector<uint8_t>& FirmwareImage(size_t module) const;
  // The end mark arrived after the last page.
  bool UpdateComplete(size_t module) const;
  ModuleState GetModuleState(size_t module) const;
  const ModuleParams& GetModuleParams(size_t module) const;
  const RadioState& ModuleRadio(size_t module) const;
  bool LinkDropped(size_t module) const;
  // The Setup report lines it sends, line ends included.
  std::vector<std::string> SetupReportLines(size_t module) const;
  // Its radio, module and what the stations did with it.
  const ModuleSlot& Slot(size_t module) const { return *slots_.at(module); }
  // The station whose radio has this address: this one's number, or 0.
  size_t StationOf(uint64_t address) const;

  // The same for the module within reach, or the last one once all have gone.
  const std::vector<std::vector<uint8_t>>& PageFrames() const { return PageFrames(Shown()); }
  const std::vector<uint8_t>& FirmwareImage() const { return FirmwareImage(Shown()); }
  bool UpdateComplete() const { return UpdateComplete(Shown()); }
  ModuleState GetModuleState() const { return GetModuleState(Shown()); }
  const ModuleParams& GetModuleParams() const { return GetModuleParams(Shown()); }
  const RadioState& ModuleRadio() const { return ModuleRadio(Shown()); }
  bool LinkDropped() const { return LinkDropped(Shown()); }
  std::vector<std::string> SetupReportLines() const { return SetupReportLines(Shown()); }

 private:
  Devices(std::vector<LineModule> modules, const Options& options, bool takeAway,
          const StationPlace* place);
  std::unique_ptr<ModuleSlot> MakeSlot(LineModule entry, const Radio::Timing& timing);
  void ComeWithinReach(size_t module);
  void Released(bool portClosed);
  void ReportHeard(uint64_t source);
  void PressSetupOfModuleWithinReach();
  size_t Shown() const { return std::min(current_, slots_.size() - 1); }

  Options options_;
  bool takeAway_;
  bool inLine_;
  size_t number_;          // the station's, from 1
  size_t moduleCount_;     // in the whole line
  Scenario lineScenario_;  // the base station's and its radio's faults
  std::unique_ptr<Timeline> ownTimeline_;
  std::unique_ptr<TickClock> ownClock_;
  Timeline& timeline_;
  TickClock& clock_;
  EventLog log_;
  Air air_;
  std::unique_ptr<Station> station_;
  std::vector<std::unique_ptr<ModuleSlot>> slots_;
  std::vector<size_t> firstCommand_;               // per module, once within reach
  std::vector<std::optional<size_t>> endCommand_;  // per module, once taken away
  size_t current_ = 0;
};

}  // namespace sim
