#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/history.h"

// What `kqm-update history` prints: attempts and counts per station as a table for a
// terminal, as CSV or as JSON Lines. Texts from devices and stations (module IDs, messages)
// are untrusted bytes; none of them can break a format:
// - table: every control character, DEL, C1 control, line or paragraph separator and
//   direction override is shown escaped (\n, \r, \t, \x1b, \u202e), a backslash as \\, and a
//   byte that is not UTF-8 as \xff; a row is one line, columns aligned by display width (wide
//   characters count two). Messages are cut to 60 columns with "..." (CSV and JSON keep them
//   whole).
// - csv: RFC 4180, a header row, lines ending in CR LF, every text field in double quotes
//   (quotes doubled, line breaks kept inside); a value that is not known is an empty field
//   without quotes, an empty text "". A text field that a spreadsheet would read as a
//   formula or a number (one that begins, after blanks, with = + - @ a tab or line break, a
//   digit, "." "(" or "$" before a digit, or is TRUE or FALSE) is written with an apostrophe
//   before it, and so is one that begins with an apostrophe: a program reading the file back
//   removes one leading apostrophe from any text field that has one. Times and numbers the
//   history made are written plain.
// - json: one JSON object per line (JSON Lines), texts as UTF-8 with JSON's escapes; an
//   attempt's "record" is the report file's record as an object (as a string if it is not
//   JSON).
// Texts that are not valid UTF-8 are first taken as the history stores them (history.h).
namespace history {

enum class OutputFormat { kTable, kCsv, kJson };

// "table", "csv" or "json"; nothing for any other name.
std::optional<OutputFormat> ParseOutputFormat(std::string_view name);

std::string FormatAttempts(const std::vector<Attempt>& attempts, OutputFormat format);
std::string FormatStationCounts(const std::vector<StationCount>& counts, OutputFormat format);

}  // namespace history
