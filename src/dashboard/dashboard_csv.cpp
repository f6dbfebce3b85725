#include "dashboard_csv.h"

#include "dashboard_views.h"
#include "failure_actions.h"
#include "history/display_text.h"

namespace dashboard {

namespace {
std::string Row(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "," : "") + fields[i];
  return line + "\r\n";
}

std::string Number(const Json& value) {
  return value.is_null() ? std::string() : value.dump();
}
}  // namespace

std::string StationsCsv(const std::vector<history::StationState>& states) {
  std::string out = Row({"station", "state", "offline", "module_id", "page", "pages", "last_result",
                         "last_message", "updated", "failed", "skipped", "frames", "resends",
                         "modules_per_hour", "published"});
  for (const history::StationState& s : states) {
    out +=
        Row({history::CsvText(s.station), history::CsvText(s.state),
             s.ageMs > kOfflineAfterMs ? "true" : "false",
             s.moduleId ? history::CsvText(*s.moduleId) : "", std::to_string(s.page),
             std::to_string(s.pages), history::CsvText(s.lastResult),
             history::CsvText(s.lastMessage), std::to_string(s.updated), std::to_string(s.failed),
             std::to_string(s.skipped), std::to_string(s.frames), std::to_string(s.resends),
             Number(ModulesPerHour(s)), history::IsoUtc(s.publishedMs)});
  }
  return out;
}

std::string FailuresCsv(const std::vector<history::Attempt>& failures) {
  std::string out =
      Row({"start_time", "station", "module_id", "result", "exit_code", "message", "action"});
  for (const history::Attempt& a : failures) {
    const FailureAction* action = ActionFor(a.message);
    out += Row({history::IsoUtc(a.startMs), history::CsvText(a.station),
                a.moduleId ? history::CsvText(*a.moduleId) : "", history::CsvText(a.result),
                std::to_string(a.exitCode), history::CsvText(a.message),
                action ? history::CsvText(action->action) : ""});
  }
  return out;
}

std::string PerHourCsv(const std::vector<history::HourCount>& perHour) {
  std::string out = Row({"hour", "updated", "failed"});
  for (const history::HourCount& h : perHour)
    out += Row({history::IsoUtc(h.hourMs), std::to_string(h.updated), std::to_string(h.failed)});
  return out;
}

std::string LinksCsv(const std::vector<history::LinkPoint>& links) {
  std::string out = Row({"start_time", "station", "round_trip_median_ms", "round_trip_worst_ms",
                         "resends", "frames"});
  const auto ms = [](const std::optional<double>& value) {
    return value ? Number(*value) : std::string();
  };
  for (const history::LinkPoint& p : links) {
    out += Row({history::IsoUtc(p.startMs), history::CsvText(p.station), ms(p.roundTripMedianMs),
                ms(p.roundTripWorstMs), std::to_string(p.resends), std::to_string(p.frames)});
  }
  return out;
}

}  // namespace dashboard
