#pragma once
#include <string>
#include <vector>

#include "history.h"

// The three formats of history_format.h, each in a file of its own.
namespace history {

std::string AttemptsTable(const std::vector<Attempt>& attempts);
std::string CountsTable(const std::vector<StationCount>& counts);
std::string AttemptsCsv(const std::vector<Attempt>& attempts);
std::string CountsCsv(const std::vector<StationCount>& counts);
std::string AttemptsJson(const std::vector<Attempt>& attempts);
std::string CountsJson(const std::vector<StationCount>& counts);

// A number of milliseconds as text: "54.5", "61".
std::string MsText(double ms);

}  // namespace history
