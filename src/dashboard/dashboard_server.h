#pragma once
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "history/history.h"
#include "listen_address.h"

namespace httplib {
class Server;
class Request;
class Response;
}  // namespace httplib

// The dashboard's web server: the page, its JSON, its CSV files and the stations' event
// stream, read-only over one history. Bounded: a few worker threads, time-outs on every read
// and write, small requests only, a few event streams at once.
namespace dashboard {

struct ServerSettings {
  ListenAddress listen;
  // Needed on every request when not empty (and must not be, when `listen` is not loopback): as
  // "?token=" (which also sets a cookie, so the page's own requests carry it), as the cookie,
  // or as "Authorization: Bearer".
  std::string token;
  std::vector<int> shiftStarts;  // minutes after midnight (shift_times.h)
};

class StationFeed;

class DashboardServer {
 public:
  DashboardServer(history::History& history, ServerSettings settings);
  ~DashboardServer();
  DashboardServer(const DashboardServer&) = delete;
  DashboardServer& operator=(const DashboardServer&) = delete;

  // Takes the address; false with `error` said when it cannot. Port 0 takes a free one.
  bool Bind(std::string& error);
  // The port bound.
  int Port() const { return port_; }
  // Serves until Stop() (from another thread; a Stop() before Run() makes it return at once).
  void Run();
  void Stop();

 private:
  void Route();
  void RouteExports();
  void ServeEvents(httplib::Response& response);
  bool Allowed(const httplib::Request& request, httplib::Response& response) const;

  history::History& history_;
  ServerSettings settings_;
  std::unique_ptr<httplib::Server> server_;
  std::unique_ptr<StationFeed> feed_;
  std::atomic<int> streams_{0};
  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};
  int port_ = 0;
};

}  // namespace dashboard
