#pragma once
#include <optional>
#include <string>
#include <vector>

#include "history/history.h"

// The shift the dashboard sums up: it began at the latest of the day's shift starts (local
// time of the computer that serves the page) that has passed.
namespace dashboard {

constexpr const char kDefaultShifts[] = "06:00,14:00,22:00";

// "06:00,14:00,22:00": minutes after midnight, in order; nothing, with `error` said, for a list
// that is not made of HH:MM times.
std::optional<std::vector<int>> ParseShiftStarts(const std::string& text, std::string& error);

// When the shift that `nowMs` lies in began.
history::EpochMs ShiftStart(history::EpochMs nowMs, const std::vector<int>& startMinutes);

// Midnight before `nowMs`, local time.
history::EpochMs DayStart(history::EpochMs nowMs);

history::EpochMs NowMs();

}  // namespace dashboard
