#include "display_text.h"
#include "format_parts.h"

namespace history {

namespace {

// Columns a message keeps in the table.
constexpr std::size_t kMessageWidth = 60;

std::string Optional(const std::optional<std::string>& text) {
  return text ? TerminalText(*text) : "-";
}

std::string Seconds(int64_t ms) {
  return std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100) + " s";
}

}  // namespace

std::string AttemptsTable(const std::vector<Attempt>& attempts) {
  std::vector<std::vector<std::string>> rows;
  for (const Attempt& a : attempts) {
    const std::string median = a.roundTripMedianMs ? MsText(*a.roundTripMedianMs) : "-";
    rows.push_back({IsoUtc(a.startMs), TerminalText(a.station), Optional(a.moduleId),
                    TerminalText(a.result), std::to_string(a.exitCode), Seconds(a.durationMs),
                    std::to_string(a.pagesAccepted), std::to_string(a.frames),
                    std::to_string(a.resends), median,
                    CutToWidth(TerminalText(a.message), kMessageWidth)});
  }
  return AlignedTable({"Start (UTC)", "Station", "Module", "Result", "Exit", "Duration", "Pages",
                       "Frames", "Resends", "RTT ms", "Message"},
                      rows,
                      {false, false, false, false, true, true, true, true, true, true, false});
}

std::string CountsTable(const std::vector<StationCount>& counts) {
  std::vector<std::vector<std::string>> rows;
  StationCount total{"all stations", 0, 0, 0};
  for (const StationCount& c : counts) {
    rows.push_back({TerminalText(c.station), std::to_string(c.updated), std::to_string(c.failed),
                    std::to_string(c.skipped)});
    total.updated += c.updated;
    total.failed += c.failed;
    total.skipped += c.skipped;
  }
  if (counts.size() > 1) {
    rows.push_back({total.station, std::to_string(total.updated), std::to_string(total.failed),
                    std::to_string(total.skipped)});
  }
  return AlignedTable({"Station", "Updated", "Failed", "Skipped"}, rows, {false, true, true, true});
}

}  // namespace history
