#include "dashboard_server.h"

#include <httplib.h>

#include <stdexcept>
#include <thread>

#include "dashboard_views.h"
#include "embedded_files.h"
#include "http_answers.h"
#include "request_guard.h"
#include "shift_times.h"
#include "station_feed.h"

namespace dashboard {

namespace {
// Requests: the page's own have no body; a larger one than this is refused (413).
constexpr std::size_t kMaxBody = 1024;
constexpr std::size_t kWorkers = 16;
// Event streams at once; each holds a worker while the page is open.
constexpr int kMaxStreams = 8;
constexpr auto kFeedPeriod = std::chrono::milliseconds(250);
// A stream says something this often: writing is how a closed page is noticed, so its worker
// and its place among the streams are free again within a few seconds.
constexpr auto kKeepAlive = std::chrono::seconds(2);

void ServeFile(const httplib::Request& request, httplib::Response& response) {
  const std::string name = request.matches.size() > 1 ? request.matches[1].str() : "index.html";
  const EmbeddedFile* file = FindEmbeddedFile(name);
  if (file == nullptr) {
    PlainError(response, 404, "no such page");
    return;
  }
  response.set_header("Cache-Control", "no-cache");
  response.set_content(reinterpret_cast<const char*>(file->data), file->size, ContentTypeOf(name));
}
}  // namespace

DashboardServer::DashboardServer(history::History& history, ServerSettings settings)
    : history_(history), settings_(std::move(settings)), server_(new httplib::Server) {
  if (!settings_.listen.loopback && settings_.token.empty())
    throw std::invalid_argument("a dashboard beyond loopback needs a token");
  feed_ = std::make_unique<StationFeed>(history_, kFeedPeriod);
  server_->new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  server_->set_read_timeout(5, 0);
  server_->set_write_timeout(5, 0);
  server_->set_keep_alive_timeout(5);
  server_->set_keep_alive_max_count(100);
  server_->set_payload_max_length(kMaxBody);
  server_->set_default_headers({{"Content-Security-Policy", kContentSecurityPolicy},
                                {"X-Content-Type-Options", "nosniff"},
                                {"Referrer-Policy", "no-referrer"},
                                {"X-Frame-Options", "DENY"}});
  Route();
  RouteExports();
}

DashboardServer::~DashboardServer() {
  Stop();
}

bool DashboardServer::Bind(std::string& error) {
  const ListenAddress& at = settings_.listen;
  if (at.port == 0) {
    port_ = server_->bind_to_any_port(at.host);
  } else if (server_->bind_to_port(at.host, at.port)) {
    port_ = at.port;
  }
  if (port_ <= 0) {
    error = "cannot listen on " + at.host + ":" + std::to_string(at.port) +
            " (the port is in use, or the address is not this computer's)";
    return false;
  }
  return true;
}

void DashboardServer::Run() {
  running_ = true;
  if (!stopping_)
    server_->listen_after_bind();
  running_ = false;
}

void DashboardServer::Stop() {
  stopping_ = true;
  feed_->Stop();
  // A stop before the server listens would be lost: it waits for the listening to begin.
  while (running_ && !server_->is_running())
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  server_->stop();
}

bool DashboardServer::Allowed(const httplib::Request& request, httplib::Response& response) const {
  return AdmitRequest(request, response, settings_.token);
}

void DashboardServer::Route() {
  httplib::Server& s = *server_;
  s.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    return Allowed(request, response) ? httplib::Server::HandlerResponse::Unhandled
                                      : httplib::Server::HandlerResponse::Handled;
  });
  s.set_error_handler([](const httplib::Request&, httplib::Response& response) {
    if (response.body.empty())
      PlainError(response, response.status,
                 response.status == 404 ? "no such page" : "the request was refused");
  });
  s.set_exception_handler(
      [](const httplib::Request&, httplib::Response& response, std::exception_ptr error) {
        std::string why = "the history could not be read";
        try {
          std::rethrow_exception(error);
        } catch (const std::exception& e) {
          why += ": " + std::string(e.what());
        } catch (...) {
        }
        PlainError(response, 503, why);
      });
  s.Get("/api/stations", [this](const httplib::Request&, httplib::Response& response) {
    SendJson(response, StationsView(history_.Stations(), NowMs()));
  });
  s.Get("/api/summary", [this](const httplib::Request&, httplib::Response& response) {
    SendJson(response, SummaryView(ReadShift(history_, NowMs(), settings_.shiftStarts)));
  });
  s.Get("/api/attempts", [this](const httplib::Request& request, httplib::Response& response) {
    history::AttemptQuery query;
    if (ModuleQuery(request, response, query))
      SendJson(response, AttemptsView(history_.Attempts(query)));
  });
  s.Get("/api/events",
        [this](const httplib::Request&, httplib::Response& response) { ServeEvents(response); });
  s.Get("/", ServeFile);
  s.Get(R"(/([a-z]+\.(?:js|css)|lib/[a-z.]+\.(?:js|css)))", ServeFile);
}

void DashboardServer::ServeEvents(httplib::Response& response) {
  if (++streams_ > kMaxStreams) {
    --streams_;
    PlainError(response, 503, "too many pages are open on this dashboard");
    return;
  }
  response.set_header("Cache-Control", "no-store");
  response.set_chunked_content_provider(
      "text/event-stream",
      [this, seen = uint64_t(0)](std::size_t, httplib::DataSink& sink) mutable {
        std::string text;
        uint64_t number = 0;
        if (!feed_->Next(seen, kKeepAlive, text, number))
          return false;
        // A page that lost its stream asks again after a second.
        std::string chunk = seen == 0 ? "retry: 1000\n" : "";
        chunk += number == seen ? ": still here\n\n" : "event: stations\ndata: " + text + "\n\n";
        seen = number;
        return sink.write(chunk.data(), chunk.size());
      },
      [this](bool) { --streams_; });
}

}  // namespace dashboard
