// The CSV files of what the page shows.
#include <httplib.h>

#include "dashboard_csv.h"
#include "dashboard_server.h"
#include "history/history_format.h"
#include "http_answers.h"
#include "shift_times.h"

namespace dashboard {

void DashboardServer::RouteExports() {
  httplib::Server& s = *server_;
  s.Get("/export/stations.csv", [this](const httplib::Request&, httplib::Response& response) {
    SendCsv(response, StationsCsv(history_.Stations()), "stations.csv");
  });
  s.Get("/export/failures.csv", [this](const httplib::Request&, httplib::Response& response) {
    SendCsv(response, FailuresCsv(TodaysFailures(history_, NowMs())), "failures-today.csv");
  });
  s.Get("/export/per-hour.csv", [this](const httplib::Request&, httplib::Response& response) {
    const history::EpochMs since = ShiftStart(NowMs(), settings_.shiftStarts);
    SendCsv(response, PerHourCsv(history_.ModulesPerHour(since)), "modules-per-hour.csv");
  });
  s.Get("/export/links.csv", [this](const httplib::Request&, httplib::Response& response) {
    const history::EpochMs since = ShiftStart(NowMs(), settings_.shiftStarts);
    SendCsv(response, LinksCsv(history_.LinkSeries(since)), "links.csv");
  });
  s.Get("/export/attempts.csv",
        [this](const httplib::Request& request, httplib::Response& response) {
          history::AttemptQuery query;
          if (ModuleQuery(request, response, query))
            SendCsv(response,
                    history::FormatAttempts(history_.Attempts(query), history::OutputFormat::kCsv),
                    "attempts.csv");
        });
}

}  // namespace dashboard
