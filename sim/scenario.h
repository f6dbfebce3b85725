#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// Which radio a parameter fault applies to.
enum class Side { kBase, kModule };

// Faults to inject, all off by default and freely combined. Page numbers are the numbers in
// the page frames, counting from 0.
struct Scenario {
  // Base station.
  bool silentBase = false;           // silent-base: takes no byte and sends none
  bool wrongIdentification = false;  // wrong-id: first 12 bytes are "\rKV-TSLK-99,"
  bool shortIdentification = false;  // short-id: only the first 17 of the 18 bytes
  uint32_t baseBaud = 0;             // baud=N: overrides Options::baseBaud when not 0
  int baseStopsAfter = 0;            // base-stops=N: silent after its N-th recognised command
  // port-gone=N:MS: the PC's port vanishes when the base station recognises its N-th command
  // (that command's answer is lost), and comes back MS milliseconds later.
  int portGoneAfter = 0;
  uint32_t portGoneMs = 0;
  // Radios: a status other than 0 in the reply to the base station's "<@:S"/"<@:I" (base) or
  // the module's "#:C" (module) for that parameter, which is then neither changed nor read.
  // bad-status=base:CH, bad-status=module:DL:2 (status defaults to 1).
  std::map<std::pair<Side, std::string>, uint8_t> badStatus;
  // Module.
  std::optional<std::string> answeredId;  // module-answers-id=TEXT: "I" answered with TEXT
  bool bootLoaderRunning = false;  // bootloader-running: left over from an interrupted update
  // Setup report.
  bool reportCrLf = false;           // report-crlf: lines end in CR LF
  bool reportLongValues = false;     // report-long-values: every value one character too long
  bool reportUnknownLabels = false;  // report-unknown-labels: labels spelled differently
  bool report150WithoutCr = false;   // report-150-no-cr: 150 characters without CR come first
  // Boot loader.
  bool silentBootLoader = false;           // silent-bootloader: answers nothing at all
  bool versionLeadingLf = false;           // version-leading-lf: LF before the identification
  bool versionTrailingCrLf = false;        // version-trailing-crlf: CR LF after it
  std::optional<std::string> versionText;  // version=TEXT: instead of "QMM-2.11-644"
  bool noReady = false;                    // no-ready: no ready byte after the identification
  std::optional<uint8_t> readyByte;        // ready=HH: this byte instead of "!"
  bool readyTwice = false;                 // ready-twice: the ready byte arrives twice
  std::map<uint16_t, int> nakPage;         // nak-page=K:M: "@" for the first M frames of page K
  std::map<uint16_t, uint8_t> pageReply;   // page-reply=K:HH: this byte for every frame of page K
  std::vector<uint16_t> noPageReply;       // no-page-reply=K: page K is never answered
  std::optional<uint16_t> dropAfterPage;   // drop-after-page=K: the air goes dead after "!" for K
  // The PC's serial port (in-process only).
  bool portBusy = false;  // port-busy: every open fails until released
  int portBusyOpens = 0;  // port-busy=N: the first N opens fail
};

// Reads a comma-separated list of the names above, e.g. "nak-page=3:4,drop-after-page=7".
// False with a message in `error` for an unknown name or a bad value; an empty text is no fault.
bool ParseScenario(const std::string& text, Scenario& scenario, std::string& error);

// The names ParseScenario knows, with their value forms, for the program's help text.
std::string ScenarioHelp();

}  // namespace sim
