#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The words of a question to the line's history (`kqm-update history`), read from the
// command line.

// --since TIME: when the attempts asked about begin, in milliseconds since 1970-01-01 00:00
// UTC; nothing for any text but these forms. Local times are in this computer's time zone (the
// C library's, TZ on Linux).
//   today, yesterday       local midnight of today, of yesterday
//   2026-12-08             local midnight of that day
//   2026-12-08T14:00       a local time ("2026-12-08 14:00" too); ":30" seconds may follow
//   2026-12-08T14:00Z      a UTC time; seconds and milliseconds may follow ("14:00:09.306Z",
//                          as the history's table and files write a start)
//   30m, 8h, 2d            minutes, hours, days back from `nowMs`
std::optional<int64_t> ParseSince(std::string_view text, int64_t nowMs);

// Why a --since was refused: the forms above, with examples.
std::string SinceForms();

// --result CLASS: a result class of the report records ("success", "transfer_failed", ...) or
// "failed", every failure.
bool IsResultQuestion(std::string_view text);

// Why a --result was refused: every class, and "failed".
std::string ResultQuestions();
