#include "shift_times.h"

#include <algorithm>
#include <chrono>
#include <ctime>

namespace dashboard {

namespace {
// `minutes` after the local midnight of the day `days` before the day of `nowMs`.
history::EpochMs LocalTime(history::EpochMs nowMs, int days, int minutes) {
  const std::time_t seconds = static_cast<std::time_t>(nowMs / 1000);
  std::tm local{};
  localtime_r(&seconds, &local);
  local.tm_mday -= days;
  local.tm_hour = minutes / 60;
  local.tm_min = minutes % 60;
  local.tm_sec = 0;
  local.tm_isdst = -1;
  return static_cast<history::EpochMs>(std::mktime(&local)) * 1000;
}

bool ReadClock(const std::string& text, int& minutes) {
  if (text.size() != 5 || text[2] != ':')
    return false;
  for (const std::size_t i : {0, 1, 3, 4}) {
    if (text[i] < '0' || text[i] > '9')
      return false;
  }
  const int hours = (text[0] - '0') * 10 + (text[1] - '0');
  const int rest = (text[3] - '0') * 10 + (text[4] - '0');
  minutes = hours * 60 + rest;
  return hours < 24 && rest < 60;
}
}  // namespace

std::optional<std::vector<int>> ParseShiftStarts(const std::string& text, std::string& error) {
  std::vector<int> starts;
  std::size_t from = 0;
  for (;;) {
    const std::size_t comma = text.find(',', from);
    int minutes = 0;
    if (!ReadClock(text.substr(from, comma - from), minutes)) {
      error = text + ": give the shifts' starts as HH:MM,HH:MM,... (24-hour clock)";
      return std::nullopt;
    }
    starts.push_back(minutes);
    if (comma == std::string::npos)
      break;
    from = comma + 1;
  }
  std::sort(starts.begin(), starts.end());
  return starts;
}

history::EpochMs ShiftStart(history::EpochMs nowMs, const std::vector<int>& startMinutes) {
  history::EpochMs latest = DayStart(nowMs) - 24 * 3600 * 1000;
  for (const int days : {1, 0}) {
    for (const int minutes : startMinutes) {
      const history::EpochMs start = LocalTime(nowMs, days, minutes);
      if (start <= nowMs)
        latest = std::max(latest, start);
    }
  }
  return latest;
}

history::EpochMs DayStart(history::EpochMs nowMs) {
  return LocalTime(nowMs, 0, 0);
}

history::EpochMs NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace dashboard
