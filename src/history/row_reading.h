#pragma once
#include "history.h"

// An attempt and a station's state from a row of the columns of history_sql.h, for any row
// that gives Text, OptionalText, Int and OptionalReal by column.
namespace history {

template <class Row>
Attempt ReadAttemptRow(const Row& row) {
  const auto number = [&row](int column) { return static_cast<int>(row.Int(column)); };
  Attempt attempt;
  attempt.station = row.Text(0);
  attempt.host = row.Text(1);
  attempt.port = row.Text(2);
  attempt.startMs = row.Int(3);
  attempt.durationMs = row.Int(4);
  attempt.moduleId = row.OptionalText(5);
  attempt.result = row.Text(6);
  attempt.exitCode = number(7);
  attempt.message = row.Text(8);
  attempt.imageSha256 = row.OptionalText(9);
  attempt.firmwareVersion = row.Text(10);
  attempt.pagesAccepted = number(11);
  attempt.frames = number(12);
  attempt.resends = number(13);
  attempt.roundTripMedianMs = row.OptionalReal(14);
  attempt.roundTripWorstMs = row.OptionalReal(15);
  attempt.recordJson = row.Text(16);
  return attempt;
}

// Every field but the age.
template <class Row>
StationState ReadStationRow(const Row& row) {
  const auto number = [&row](int column) { return static_cast<int>(row.Int(column)); };
  StationState state;
  state.station = row.Text(0);
  state.host = row.Text(1);
  state.port = row.Text(2);
  state.state = row.Text(3);
  state.moduleId = row.OptionalText(4);
  state.page = number(5);
  state.pages = number(6);
  state.lastResult = row.Text(7);
  state.lastMessage = row.Text(8);
  state.updated = number(9);
  state.failed = number(10);
  state.skipped = number(11);
  state.frames = number(12);
  state.resends = number(13);
  state.startedMs = row.Int(14);
  state.publishedMs = row.Int(15);
  return state;
}

template <class Row>
LinkPoint ReadLinkPointRow(const Row& row) {
  return {row.Text(0),
          row.Int(1),
          row.OptionalReal(2),
          row.OptionalReal(3),
          static_cast<int>(row.Int(4)),
          static_cast<int>(row.Int(5))};
}

template <class Row>
StationCount ReadStationCountRow(const Row& row) {
  return {row.Text(0), static_cast<int>(row.Int(1)), static_cast<int>(row.Int(2)),
          static_cast<int>(row.Int(3))};
}

template <class Row>
HourCount ReadHourCountRow(const Row& row) {
  return {row.Int(0), static_cast<int>(row.Int(1)), static_cast<int>(row.Int(2))};
}

}  // namespace history
