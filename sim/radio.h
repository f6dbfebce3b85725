#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sim/api_frame.h"
#include "sim/scenario.h"
#include "sim/timeline.h"

namespace sim {

// What a radio is tuned to and where it sends. frameMode 0 passes bytes transparently to the
// destination DH:DL; 1 and 2 speak frames on the serial side (2 with escaped bytes).
struct RadioState {
  uint8_t frameMode = 2;
  uint16_t panId = 0;
  uint8_t channel = 0x0C;
  uint32_t serialHigh = 0;       // SH
  uint32_t serialLow = 0;        // SL
  uint32_t destinationHigh = 0;  // DH
  uint32_t destinationLow = 0;   // DL
  bool commandMode = false;

  uint64_t Address() const { return (uint64_t{serialHigh} << 32) | serialLow; }
  uint64_t Destination() const { return (uint64_t{destinationHigh} << 32) | destinationLow; }
};

struct AirPacket {
  uint64_t source = 0;
  uint64_t destination = 0;
  uint16_t panId = 0;
  uint8_t channel = 0;
  std::vector<uint8_t> data;
};

class Radio;

// The space between the radios. A packet reaches every other radio within reach on the same
// PAN ID and channel whose address is its destination (or every one, for the broadcast
// address), one hop latency after it was sent.
class Air {
 public:
  Air(Timeline& timeline, EventLog& log, uint64_t hopLatencyUs)
      : timeline_(timeline), log_(log), hopLatencyUs_(hopLatencyUs) {}
  // The air of a room of several stations. Each channel carries one packet at a time at
  // `bitsPerSecond` (0: no limit), each packet with kPacketOverhead bytes of its own; a packet
  // waits until its channel is free, and arrives one hop latency after it has gone out. A radio
  // in transparent mode (a relay) hears only packets addressed to it, not broadcasts.
  void ShareAirTime(uint32_t bitsPerSecond);
  static constexpr size_t kPacketOverhead = 18;
  // A radio comes within reach, or is taken out of it: then it neither sends nor hears, and
  // packets already on their way to it are lost.
  void Attach(Radio* radio) { radios_.push_back(radio); }
  void Detach(const Radio* radio);
  void Transmit(const Radio& sender, const AirPacket& packet);
  // From now on nothing passes to or from this radio.
  void GoDead(const Radio& radio);
  bool Dead(const Radio& radio) const;
  bool BroadcastsReachRelays() const { return !shared_; }

 private:
  bool InReach(const Radio* radio) const;

  Timeline& timeline_;
  EventLog& log_;
  // When the packet sent now has gone out, on its channel.
  uint64_t SentUs(const AirPacket& packet);

  uint64_t hopLatencyUs_;
  bool shared_ = false;
  uint32_t bitsPerSecond_ = 0;
  std::map<uint8_t, uint64_t> channelFreeUs_;
  std::vector<Radio*> radios_;
  std::vector<const Radio*> dead_;
};

// A radio modem: a serial side towards its host (the base station, or the module's firmware)
// and an antenna side towards the air.
class Radio {
 public:
  struct Timing {
    uint64_t guardUs = Ms(1000);            // silence around "+++"
    uint64_t commandTimeoutUs = Ms(10000);  // command mode ends after this long unused
    uint64_t packetGapUs = 3125;            // transparent bytes are sent after this pause
    size_t maxPacket = 100;                 // ... or once this many are buffered
  };
  using HostSink = std::function<void(const std::vector<uint8_t>&)>;

  Radio(std::string name, Side side, Timeline& timeline, Air& air, EventLog& log,
        const Scenario& scenario, const RadioState& initial, const Timing& timing);

  void SetHostSink(HostSink sink) { hostSink_ = std::move(sink); }
  // Bytes from the host on the serial side. `hostCommand` marks the parameter frames that the
  // host's firmware sends on its own behalf (the base station's "<@:S" and "<@:I", the
  // module's "#:C"); only those get the scenario's bad statuses.
  void FromHost(uint8_t byte);
  void FromHost(const std::vector<uint8_t>& bytes, bool hostCommand = false);
  // A packet that the air delivers; ignored unless this radio can hear it.
  void FromAir(const AirPacket& packet);
  bool Hears(const AirPacket& packet) const;
  // Sends what transparent mode has buffered now.
  void Flush();

  // Settings made by the firmware of the radio's own host, not through commands.
  void Tune(uint16_t panId, uint8_t channel, uint8_t frameMode);
  void SetDestination(uint64_t destination);

  const RadioState& State() const { return state_; }
  const std::string& Name() const { return name_; }

  // Sets or reads one two-letter parameter of `target` (reads always come from the current
  // state). Returns the response status; a read fills `value`.
  uint8_t Parameter(const std::string& name, const std::vector<uint8_t>& setValue, bool isSet,
                    RadioState& target, std::vector<uint8_t>& value);

 private:
  bool hostCommand_ = false;
  void ToHost(const std::vector<uint8_t>& bytes);
  void FrameFromHost(const std::vector<uint8_t>& data);
  void TransparentByte(uint8_t byte);
  void QueueForAir(uint8_t byte);
  void ReleaseHeldPluses();
  void CommandByte(uint8_t byte);
  void CommandLine(const std::string& line);
  void LeaveCommandMode(bool apply);
  void ArmCommandTimeout();
  void SetFrameMode(uint8_t mode);

  std::string name_;
  Side side_;
  Timeline& timeline_;
  Air& air_;
  EventLog& log_;
  const Scenario& scenario_;
  RadioState state_;
  RadioState pending_;  // changes made in command mode, applied when it ends
  Timing timing_;
  HostSink hostSink_;
  FrameDecoder decoder_;

  std::vector<uint8_t> airBuffer_;
  uint64_t flushToken_ = 0;
  bool anyHostByte_ = false;
  uint64_t lastHostByteUs_ = 0;
  int heldPluses_ = 0;
  uint64_t plusToken_ = 0;
  std::string commandLine_;
  uint64_t commandToken_ = 0;
};

}  // namespace sim
