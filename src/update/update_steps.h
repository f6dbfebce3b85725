#pragma once
#include <cstdint>
#include <string>

#include "update/link_context.h"
#include "update/setup_report.h"
#include "update/update_presenter.h"

// The steps RunUpdate is made of, each in a file of its own.
namespace update {

// Opening the port at each rate in turn until the base station identifies itself.
struct BaseStationSearch {
  enum class Result { kFound, kOpenFailed, kNotFound };
  Result result = Result::kNotFound;
  uint32_t baud = 0;
};
BaseStationSearch FindBaseStation(LinkContext& link, int port);

// "<RP" and the three frames: the base station relays to its radio, which listens on the
// boot loader network and passes bytes transparently.
void StartBootLoaderRelay(LinkContext& link);

// Where the base station is when the update lets it go.
enum class LinkState {
  kCommands,  // its command interpreter
  kRelay,     // relaying to its radio
  kReport,    // forwarding the module's Setup report
};
// Ends the relay or the report where one is on, releases the base station ("<W") and closes
// the port.
void RestoreBaseStation(LinkContext& link, LinkState state);

// Both radios pointed at each other through the base station, and the module sent into its
// boot loader. False at the first reply that is not accepted.
bool ConfigureRadios(LinkContext& link, const ModuleParameters& module);

// From the identified base station to a boot loader that answers its poll: found already
// running, or the module's parameters learnt from its Setup report (the presenter asks the
// operator), both radios configured and the module started in its boot loader. The base
// station is left for the caller to restore.
struct PreparedModule {
  enum class Result { kBootLoaderListening, kCancelled, kConfigurationFailed, kBootLoaderSilent };
  Result result = Result::kConfigurationFailed;
  SetupAnswer answer;                  // when the Setup report was asked for
  std::optional<ModuleReport> report;  // once Start Update took the four values
};
PreparedModule PrepareModule(LinkContext& link, UpdatePresenter& presenter);

}  // namespace update
