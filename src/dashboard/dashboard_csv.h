#pragma once
#include <string>
#include <vector>

#include "history/history.h"

// The CSV files the page offers, as history_format.h writes CSV: every text quoted and
// protected from spreadsheets, times in ISO 8601 UTC, lines ending in CR LF. A module search
// is exported as `kqm-update history` exports attempts (history::FormatAttempts).
namespace dashboard {

// The tiles: one row per station.
std::string StationsCsv(const std::vector<history::StationState>& states);
// Today's failures with the user guide's action for each.
std::string FailuresCsv(const std::vector<history::Attempt>& failures);
// Modules updated and failed per hour of the shift.
std::string PerHourCsv(const std::vector<history::HourCount>& perHour);
// Each station's link over the shift: every attempt that sent page frames.
std::string LinksCsv(const std::vector<history::LinkPoint>& links);

}  // namespace dashboard
