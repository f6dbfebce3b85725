#pragma once
// A year of a busy line in the history, for the benchmarks of the history and the dashboard:
// a million attempts of eight stations on two PCs, mostly successes, some failures and
// skipped repeats, about one module in twenty tried twice.
#include <chrono>
#include <cstddef>
#include <functional>
#include <random>

#include "history/history.h"

namespace busy_line {

constexpr history::EpochMs kDayMs = 24 * 3600 * 1000;
constexpr int kStations = 8;  // two PCs of four base stations

history::EpochMs NowMs();

// Attempt `i` of `count`, evenly spread over the year before `endMs`.
history::Attempt MakeAttempt(std::size_t i, std::size_t count, history::EpochMs endMs,
                             std::mt19937& random);

// Fills the history in transactions of 50,000 attempts; the seconds it took.
double Fill(history::History& history, std::size_t count, history::EpochMs endMs);

// Every station publishing its state, as a running line does.
void PublishStations(history::History& history);

struct Timing {
  double medianMs = 0;
  double worstMs = 0;
};

// `question` asked `runs` times (it gets the run's number).
Timing Time(int runs, const std::function<void(int)>& question);

}  // namespace busy_line
