#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Texts for the formats of history_format.h.
namespace history {

// One line a terminal shows as it is: controls, separators, direction overrides and bytes
// that are not UTF-8 escaped (history_format.h).
std::string TerminalText(std::string_view text);

// Columns a terminal gives the (escaped) text: wide characters two, combining marks none.
std::size_t DisplayWidth(std::string_view text);

// The text cut to at most `width` columns, "..." at its end when it was cut.
std::string CutToWidth(const std::string& text, std::size_t width);

// "2026-12-07T16:46:32.892Z".
std::string IsoUtc(int64_t epochMs);

// A text field of CSV: quoted, protected from spreadsheets (history_format.h).
std::string CsvText(std::string_view text);

// Rows as aligned columns, a header row first; right-aligned where `right` says so.
std::string AlignedTable(const std::vector<std::string>& header,
                         const std::vector<std::vector<std::string>>& rows,
                         const std::vector<bool>& right);

}  // namespace history
