#include "history_format.h"

#include <cstdio>

#include "format_parts.h"

namespace history {

std::optional<OutputFormat> ParseOutputFormat(std::string_view name) {
  if (name == "table") {
    return OutputFormat::kTable;
  }
  if (name == "csv") {
    return OutputFormat::kCsv;
  }
  if (name == "json") {
    return OutputFormat::kJson;
  }
  return std::nullopt;
}

std::string FormatAttempts(const std::vector<Attempt>& attempts, OutputFormat format) {
  switch (format) {
    case OutputFormat::kCsv:
      return AttemptsCsv(attempts);
    case OutputFormat::kJson:
      return AttemptsJson(attempts);
    case OutputFormat::kTable:
      break;
  }
  return AttemptsTable(attempts);
}

std::string FormatStationCounts(const std::vector<StationCount>& counts, OutputFormat format) {
  switch (format) {
    case OutputFormat::kCsv:
      return CountsCsv(counts);
    case OutputFormat::kJson:
      return CountsJson(counts);
    case OutputFormat::kTable:
      break;
  }
  return CountsTable(counts);
}

std::string MsText(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", ms);
  return text;
}

}  // namespace history
