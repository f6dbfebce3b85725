#pragma once
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "history/history.h"

// What the page is sent, as JSON: the stations' tiles, the shift's summary, the attempts of a
// module search. Texts stay texts (JSON escapes them); the page shows them as text only.
namespace dashboard {

using Json = nlohmann::ordered_json;

// A station whose state is older than this is offline (it stopped, crashed, or lost its PC).
constexpr int64_t kOfflineAfterMs = 5000;
// The most rows one list holds: the newest.
constexpr std::size_t kListLimit = 500;

// Everything the summary shows, read from the history at one moment.
struct ShiftData {
  history::EpochMs nowMs = 0;
  history::EpochMs shiftStartMs = 0;
  history::EpochMs dayStartMs = 0;
  std::vector<history::StationCount> counts;  // since the shift's start
  std::vector<history::HourCount> perHour;    // since the shift's start
  std::vector<history::LinkPoint> links;      // since the shift's start, oldest first
  std::vector<history::Attempt> failures;     // today's, newest first
};

ShiftData ReadShift(history::History& history, history::EpochMs nowMs,
                    const std::vector<int>& shiftStarts);

// The failures since midnight, newest first (at most kListLimit).
std::vector<history::Attempt> TodaysFailures(history::History& history, history::EpochMs nowMs);

// {"now":..., "stations":[tile, ...]}: each tile with "offline" and "modulesPerHour".
Json StationsView(const std::vector<history::StationState>& states, history::EpochMs nowMs);
Json SummaryView(const ShiftData& shift);
Json AttemptsView(const std::vector<history::Attempt>& attempts);

// Modules updated per hour since the station started; null in its first minute.
Json ModulesPerHour(const history::StationState& state);

// The text of a JSON value; a text that is not UTF-8 is never one (history.h), but would be
// sent with U+FFFD for its bad bytes rather than fail.
std::string JsonText(const Json& value);

}  // namespace dashboard
