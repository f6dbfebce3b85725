#include "dashboard_views.h"

#include <cmath>

#include "failure_actions.h"
#include "shift_times.h"

namespace dashboard {

namespace {
template <typename T>
Json OrNull(const std::optional<T>& value) {
  return value ? Json(*value) : Json(nullptr);
}

Json ActionOf(const std::string& message) {
  const FailureAction* action = ActionFor(message);
  return action ? Json(action->action) : Json(nullptr);
}

Json Tile(const history::StationState& s, history::EpochMs nowMs) {
  Json tile;
  tile["station"] = s.station;
  tile["host"] = s.host;
  tile["port"] = s.port;
  tile["state"] = s.state;
  tile["offline"] = s.ageMs > kOfflineAfterMs;
  tile["ageMs"] = s.ageMs;
  tile["moduleId"] = OrNull(s.moduleId);
  tile["page"] = s.page;
  tile["pages"] = s.pages;
  tile["lastResult"] = s.lastResult;
  tile["lastMessage"] = s.lastMessage;
  tile["lastAction"] = s.lastResult == "success" ? Json(nullptr) : ActionOf(s.lastMessage);
  tile["updated"] = s.updated;
  tile["failed"] = s.failed;
  tile["skipped"] = s.skipped;
  tile["frames"] = s.frames;
  tile["resends"] = s.resends;
  tile["startedMs"] = s.startedMs;
  tile["publishedMs"] = nowMs - s.ageMs;
  tile["modulesPerHour"] = ModulesPerHour(s);
  return tile;
}

Json AttemptRow(const history::Attempt& a) {
  Json row;
  row["startMs"] = a.startMs;
  row["station"] = a.station;
  row["moduleId"] = OrNull(a.moduleId);
  row["result"] = a.result;
  row["exitCode"] = a.exitCode;
  row["message"] = a.message;
  row["action"] = a.result == "success" ? Json(nullptr) : ActionOf(a.message);
  row["durationMs"] = a.durationMs;
  row["firmwareVersion"] = a.firmwareVersion;
  row["pagesAccepted"] = a.pagesAccepted;
  row["frames"] = a.frames;
  row["resends"] = a.resends;
  row["roundTripMedianMs"] = OrNull(a.roundTripMedianMs);
  row["roundTripWorstMs"] = OrNull(a.roundTripWorstMs);
  return row;
}

// {"stations":[name, ...], "points":[[ms, station index, median, worst, resends, frames]]}.
Json LinksView(const std::vector<history::LinkPoint>& links) {
  Json names = Json::array();
  Json points = Json::array();
  std::vector<std::string> seen;
  for (const history::LinkPoint& p : links) {
    std::size_t index = 0;
    while (index < seen.size() && seen[index] != p.station) ++index;
    if (index == seen.size()) {
      seen.push_back(p.station);
      names.push_back(p.station);
    }
    points.push_back(Json::array({p.startMs, index, OrNull(p.roundTripMedianMs),
                                  OrNull(p.roundTripWorstMs), p.resends, p.frames}));
  }
  return Json{{"stations", names}, {"points", points}};
}
}  // namespace

ShiftData ReadShift(history::History& history, history::EpochMs nowMs,
                    const std::vector<int>& shiftStarts) {
  ShiftData shift;
  shift.nowMs = nowMs;
  shift.shiftStartMs = ShiftStart(nowMs, shiftStarts);
  shift.dayStartMs = DayStart(nowMs);
  shift.counts = history.CountsByStation(shift.shiftStartMs);
  shift.perHour = history.ModulesPerHour(shift.shiftStartMs);
  shift.links = history.LinkSeries(shift.shiftStartMs);
  shift.failures = TodaysFailures(history, nowMs);
  return shift;
}

std::vector<history::Attempt> TodaysFailures(history::History& history, history::EpochMs nowMs) {
  history::AttemptQuery failures;
  failures.sinceMs = DayStart(nowMs);
  failures.result = "failed";
  failures.limit = kListLimit;
  return history.Attempts(failures);
}

Json ModulesPerHour(const history::StationState& state) {
  const int64_t runningMs = state.publishedMs - state.startedMs;
  if (state.startedMs <= 0 || runningMs < 60 * 1000)
    return nullptr;
  return std::round(state.updated * 36000000.0 / static_cast<double>(runningMs)) / 10;
}

Json StationsView(const std::vector<history::StationState>& states, history::EpochMs nowMs) {
  Json tiles = Json::array();
  for (const history::StationState& state : states) tiles.push_back(Tile(state, nowMs));
  return Json{{"now", nowMs}, {"offlineAfterMs", kOfflineAfterMs}, {"stations", tiles}};
}

Json SummaryView(const ShiftData& shift) {
  Json totals{{"updated", 0}, {"failed", 0}, {"skipped", 0}};
  Json stations = Json::array();
  for (const history::StationCount& c : shift.counts) {
    stations.push_back({{"station", c.station},
                        {"updated", c.updated},
                        {"failed", c.failed},
                        {"skipped", c.skipped}});
    totals["updated"] = totals["updated"].get<int>() + c.updated;
    totals["failed"] = totals["failed"].get<int>() + c.failed;
    totals["skipped"] = totals["skipped"].get<int>() + c.skipped;
  }
  Json perHour = Json::array();
  for (const history::HourCount& h : shift.perHour)
    perHour.push_back(Json::array({h.hourMs, h.updated, h.failed}));
  Json failures = Json::array();
  for (const history::Attempt& a : shift.failures) failures.push_back(AttemptRow(a));
  return Json{{"now", shift.nowMs},
              {"shiftStartMs", shift.shiftStartMs},
              {"dayStartMs", shift.dayStartMs},
              {"totals", totals},
              {"stations", stations},
              {"perHour", perHour},
              {"links", LinksView(shift.links)},
              {"failures", failures}};
}

Json AttemptsView(const std::vector<history::Attempt>& attempts) {
  Json rows = Json::array();
  for (const history::Attempt& a : attempts) rows.push_back(AttemptRow(a));
  return Json{{"attempts", rows}};
}

std::string JsonText(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace dashboard
