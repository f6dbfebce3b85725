#include "history_question.h"

#include <chrono>
#include <ctime>

namespace {
constexpr int64_t kMinuteMs = 60 * 1000;
constexpr int64_t kHourMs = 60 * kMinuteMs;
constexpr int64_t kDayMs = 24 * kHourMs;

// The classes a report record's "result" takes, as the documents list them.
constexpr const char* kResultClasses[] = {"success",
                                          "skipped",
                                          "cancelled",
                                          "setup_timeout",
                                          "firmware_file_problem",
                                          "port_open_failed",
                                          "no_base_station",
                                          "configuration_failed",
                                          "boot_loader_silent",
                                          "transfer_failed"};

// A moment as the text writes it: a date and a time of day, local or UTC.
struct Moment {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
  bool utc = false;
};

// A number of exactly `count` digits at `at`; moves past it.
bool ReadDigits(std::string_view text, std::size_t& at, std::size_t count, int& value) {
  if (at + count > text.size())
    return false;
  value = 0;
  for (const std::size_t end = at + count; at < end; ++at) {
    if (text[at] < '0' || text[at] > '9')
      return false;
    value = value * 10 + (text[at] - '0');
  }
  return true;
}

// Moves past `c` when it stands at `at`.
bool Skip(std::string_view text, std::size_t& at, char c) {
  if (at >= text.size() || text[at] != c)
    return false;
  ++at;
  return true;
}

// "14:00", "14:00:30" or "14:00:30.306" (one to three digits of a second).
bool ReadClock(std::string_view text, std::size_t& at, Moment& moment) {
  if (!ReadDigits(text, at, 2, moment.hour) || !Skip(text, at, ':') ||
      !ReadDigits(text, at, 2, moment.minute))
    return false;
  if (!Skip(text, at, ':'))
    return true;
  if (!ReadDigits(text, at, 2, moment.second))
    return false;
  if (!Skip(text, at, '.'))
    return true;
  int scale = 100;
  const std::size_t first = at;
  for (; at < text.size() && at < first + 3 && text[at] >= '0' && text[at] <= '9'; ++at) {
    moment.millisecond += (text[at] - '0') * scale;
    scale /= 10;
  }
  return at > first;
}

std::chrono::year_month_day DateOf(const Moment& moment) {
  return std::chrono::year(moment.year) / std::chrono::month(static_cast<unsigned>(moment.month)) /
         std::chrono::day(static_cast<unsigned>(moment.day));
}

// "2026-12-08", then, after "T" or a blank, a clock time and "Z" for UTC.
std::optional<Moment> ReadMoment(std::string_view text) {
  Moment moment;
  std::size_t at = 0;
  if (!ReadDigits(text, at, 4, moment.year) || !Skip(text, at, '-') ||
      !ReadDigits(text, at, 2, moment.month) || !Skip(text, at, '-') ||
      !ReadDigits(text, at, 2, moment.day))
    return std::nullopt;
  if (at < text.size()) {
    if (!(Skip(text, at, 'T') || Skip(text, at, ' ')) || !ReadClock(text, at, moment))
      return std::nullopt;
    moment.utc = Skip(text, at, 'Z');
  }
  if (at != text.size() || moment.year < 1970 || !DateOf(moment).ok() || moment.hour > 23 ||
      moment.minute > 59 || moment.second > 59)
    return std::nullopt;
  return moment;
}

int64_t UtcMs(const Moment& moment) {
  const int64_t days = std::chrono::sys_days(DateOf(moment)).time_since_epoch().count();
  return days * kDayMs + moment.hour * kHourMs + moment.minute * kMinuteMs + moment.second * 1000 +
         moment.millisecond;
}

// The broken-down local time of `ms` in this computer's time zone.
std::tm LocalTm(int64_t ms) {
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  return local;
}

// A local time; the C library settles whether summer time applies (and moves a time that the
// change of clocks skips past the gap). Nothing when it cannot place it.
std::optional<int64_t> LocalMs(std::tm local, int millisecond = 0) {
  local.tm_isdst = -1;
  const std::time_t seconds = std::mktime(&local);
  if (seconds == static_cast<std::time_t>(-1))
    return std::nullopt;
  return static_cast<int64_t>(seconds) * 1000 + millisecond;
}

std::optional<int64_t> MomentMs(const Moment& moment) {
  if (moment.utc)
    return UtcMs(moment);
  std::tm local{};
  local.tm_year = moment.year - 1900;
  local.tm_mon = moment.month - 1;
  local.tm_mday = moment.day;
  local.tm_hour = moment.hour;
  local.tm_min = moment.minute;
  local.tm_sec = moment.second;
  return LocalMs(local, moment.millisecond);
}

// Local midnight, `daysBack` days before the day of `nowMs`.
std::optional<int64_t> Midnight(int64_t nowMs, int daysBack) {
  std::tm local = LocalTm(nowMs);
  local.tm_mday -= daysBack;
  local.tm_hour = local.tm_min = local.tm_sec = 0;
  return LocalMs(local);
}

// "30m", "8h", "2d": up to six digits and the unit.
std::optional<int64_t> SpanBack(std::string_view text, int64_t nowMs) {
  if (text.size() < 2 || text.size() > 7)
    return std::nullopt;
  const char unit = text.back();
  const int64_t unitMs = unit == 'm' ? kMinuteMs : unit == 'h' ? kHourMs : unit == 'd' ? kDayMs : 0;
  std::size_t at = 0;
  int count = 0;
  if (unitMs == 0 || !ReadDigits(text, at, text.size() - 1, count))
    return std::nullopt;
  return nowMs - count * unitMs;
}
}  // namespace

std::optional<int64_t> ParseSince(std::string_view text, int64_t nowMs) {
  if (text == "today")
    return Midnight(nowMs, 0);
  if (text == "yesterday")
    return Midnight(nowMs, 1);
  if (const std::optional<Moment> moment = ReadMoment(text))
    return MomentMs(*moment);
  return SpanBack(text, nowMs);
}

std::string SinceForms() {
  return "give today, yesterday, a local date (2026-12-08), a local date and time "
         "(2026-12-08T14:00 or \"2026-12-08 14:00\"), a UTC time (2026-12-08T14:00Z) or a span "
         "back from now (30m, 8h, 2d)";
}

bool IsResultQuestion(std::string_view text) {
  if (text == "failed")
    return true;
  for (const char* name : kResultClasses) {
    if (text == name)
      return true;
  }
  return false;
}

std::string ResultQuestions() {
  std::string list = "give one of";
  for (const char* name : kResultClasses) list += std::string(" ") + name + ",";
  return list + " or failed (every failure)";
}
