#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sim/api_frame.h"
#include "sim/boot_loader.h"
#include "sim/radio.h"
#include "sim/scenario.h"
#include "sim/timeline.h"

namespace sim {

// The module's control parameters, as its Setup report prints them.
struct ModuleParams {
  std::string moduleId = "123456";   // at most 6 characters
  uint32_t serialHigh = 0x00A2B3C4;  // network serial number = its radio's SH:SL
  uint32_t serialLow = 0x41526374;
  uint16_t panId = 0x3332;
  uint8_t channel = 0x0F;  // reported in decimal: "15"
};

enum class ModuleState { kSetup, kApplication, kBootLoader };

// The boot loader network: where the boot loader listens and where Setup reports go out.
constexpr uint16_t kBootLoaderPanId = 0xD1D3;
constexpr uint8_t kBootLoaderChannel = 0x0E;

// The module's firmware: in Setup mode it reports its parameters when the Setup button is
// pressed and obeys the commands the base station passes on ("I", "#:C", "#:Z"); its boot
// loader takes the new firmware.
class Module {
 public:
  struct Config {
    uint64_t turnaroundUs = Ms(1);
    uint64_t bootStartUs = Ms(50);      // from "#:Z" until the boot loader listens
    uint64_t restartUs = Ms(100);       // from the end mark until the application runs
    uint64_t reportLineGapUs = Ms(10);  // between two Setup report lines
    BootLoader::Config bootLoader;
  };

  Module(Timeline& timeline, Radio& radio, Air& air, EventLog& log, const Scenario& scenario,
         const ModuleParams& params, const Config& config);

  void FromRadio(const std::vector<uint8_t>& bytes);
  // Called with the sender's radio address for each command it acts on.
  void SetCommandHook(std::function<void(uint64_t)> hook) { commandHook_ = std::move(hook); }
  void PressSetupButton();
  // Puts the module into its boot loader at once, as an interrupted update leaves it.
  void StartInBootLoader(uint64_t baseStationAddress);

  ModuleState State() const { return state_; }
  // It has sent its Setup report, or its boot loader has heard from the PC.
  bool TookPart() const { return reported_ || bootLoader_.HeardFromPc(); }
  const BootLoader& Loader() const { return bootLoader_; }
  // The Setup report lines, each with its line end, as they go out.
  std::vector<std::string> ReportLines() const;

 private:
  void FrameFromRadio(const std::vector<uint8_t>& data);
  void Command(uint64_t sender, const std::vector<uint8_t>& command);
  void Send(uint64_t destination, char kind, const std::vector<uint8_t>& bytes);
  void StartBootLoader();
  void RunApplication();

  Timeline& timeline_;
  Radio& radio_;
  EventLog& log_;
  const Scenario& scenario_;
  ModuleParams params_;
  Config config_;
  BootLoader bootLoader_;
  FrameDecoder decoder_{true};
  ModuleState state_ = ModuleState::kSetup;
  bool reporting_ = false;
  bool reported_ = false;
  uint8_t nextFrameId_ = 1;
  std::map<uint8_t, uint64_t> replyTo_;  // frame id of a "#:C" -> who asked
  std::function<void(uint64_t)> commandHook_;
};

}  // namespace sim
