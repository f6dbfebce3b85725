#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "history/history.h"

// The stations' tiles as the pages are pushed them: one thread reads the stations' states
// from the history a few times a second, whatever the number of pages open, and numbers each
// view that differs from the one before (a state, a counter, a station going offline).
// Every page's event stream waits here for the next number.
namespace dashboard {

class StationFeed {
 public:
  StationFeed(history::History& history, std::chrono::milliseconds period);
  ~StationFeed();
  StationFeed(const StationFeed&) = delete;
  StationFeed& operator=(const StationFeed&) = delete;

  // Ends the waits and the thread.
  void Stop();

  // Waits up to `limit` for a view numbered above `after`; `text` and `number` are the latest
  // view (the same number when none came). False once stopped.
  bool Next(uint64_t after, std::chrono::milliseconds limit, std::string& text, uint64_t& number);

 private:
  void Run();
  // The tiles' JSON, or {"error": ...} when the history cannot be read.
  std::string Read(std::string& key);

  history::History& history_;
  const std::chrono::milliseconds period_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopping_ = false;
  std::string text_;
  std::string key_;  // the view without its clock readings: what "differs" compares
  uint64_t number_ = 0;
  std::thread thread_;
};

}  // namespace dashboard
