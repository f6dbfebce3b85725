#pragma once
#include <cstdint>
#include <string>

#include "update/update_context.h"

// The steps RunUpdate is made of, each in a file of its own.
namespace update {

// Opening the port at each rate in turn until the base station identifies itself.
struct BaseStationSearch {
  enum class Result { kFound, kOpenFailed, kNotFound };
  Result result = Result::kNotFound;
  uint32_t baud = 0;
};
BaseStationSearch FindBaseStation(UpdateContext& context, int port);

// "<RP" and the three frames: the base station relays to its radio, which listens on the
// boot loader network and passes bytes transparently.
void StartBootLoaderRelay(UpdateContext& context);

// Where the base station is when the update lets it go.
enum class LinkState {
  kCommands,  // its command interpreter
  kRelay,     // relaying to its radio
  kReport,    // forwarding the module's Setup report
};
// Ends the relay or the report where one is on, releases the base station ("<W") and closes
// the port.
void RestoreBaseStation(UpdateContext& context, LinkState state);

// The module's control parameters as the radio commands use them.
struct ModuleParameters {
  char moduleIdField[7] = {};  // NUL-padded; the "<@:P" commands send the first 6 bytes
  uint8_t serialHigh[4] = {};
  uint8_t serialLow[4] = {};
  uint8_t panId[2] = {};
  uint8_t channel = 0;
};

// Both radios pointed at each other through the base station, and the module sent into its
// boot loader. False at the first reply that is not accepted.
bool ConfigureRadios(UpdateContext& context, const ModuleParameters& module);

// From the identified base station to a boot loader that answers its poll: found already
// running, or the module's parameters learnt, both radios configured and the module started
// in its boot loader. The control-parameter dialog and its wait cursor are this step's; the
// base station is left for the caller to restore.
struct PreparedModule {
  enum class Result { kBootLoaderListening, kCancelled, kConfigurationFailed, kBootLoaderSilent };
  Result result = Result::kConfigurationFailed;
  std::string moduleId;  // as the Setup report gave it
};
PreparedModule PrepareModule(UpdateContext& context);

}  // namespace update
