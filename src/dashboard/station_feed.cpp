#include "station_feed.h"

#include "dashboard_views.h"
#include "shift_times.h"

namespace dashboard {

StationFeed::StationFeed(history::History& history, std::chrono::milliseconds period)
    : history_(history), period_(period), thread_([this] { Run(); }) {}

StationFeed::~StationFeed() {
  Stop();
  thread_.join();
}

void StationFeed::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = true;
  changed_.notify_all();
}

std::string StationFeed::Read(std::string& key) {
  Json view;
  try {
    view = StationsView(history_.Stations(), NowMs());
  } catch (const std::exception& error) {
    view = Json{{"error", error.what()}};
  }
  Json withoutClock = view;
  withoutClock.erase("now");
  for (Json& tile : withoutClock["stations"]) {
    tile.erase("ageMs");
    tile.erase("publishedMs");
  }
  key = JsonText(withoutClock);
  return JsonText(view);
}

void StationFeed::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    lock.unlock();
    std::string key;
    std::string text = Read(key);
    lock.lock();
    if (key != key_ || number_ == 0) {
      key_ = std::move(key);
      ++number_;
      changed_.notify_all();
    }
    text_ = std::move(text);
    changed_.wait_for(lock, period_, [this] { return stopping_; });
  }
}

bool StationFeed::Next(uint64_t after, std::chrono::milliseconds limit, std::string& text,
                       uint64_t& number) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, limit, [&] { return stopping_ || number_ > after; });
  text = text_;
  number = number_;
  return !stopping_;
}

}  // namespace dashboard
