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

constexpr history::EpochMs kYearMs = 365 * kDayMs;

// Where the attempts of one filling lie: spread evenly over the `spanMs` before `endMs`, their
// modules numbered from `firstModule`.
struct Span {
  history::EpochMs endMs = 0;
  history::EpochMs spanMs = kYearMs;
  std::size_t firstModule = 100000000;
};

// Attempt `i` of `count`.
history::Attempt MakeAttempt(std::size_t i, std::size_t count, const Span& span,
                             std::mt19937& random);

// Fills the history in transactions of 50,000 attempts; the seconds it took.
double Fill(history::History& history, std::size_t count, const Span& span);

// Every station publishing its state, as a running line does.
void PublishStations(history::History& history);

struct Timing {
  double medianMs = 0;
  double worstMs = 0;
};

// `question` asked `runs` times (it gets the run's number).
Timing Time(int runs, const std::function<void(int)>& question);

}  // namespace busy_line
