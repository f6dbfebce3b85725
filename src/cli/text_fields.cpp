#include "text_fields.h"

#include <cstdio>

std::string Utf8FromBytes(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text += c;
    } else {
      text += static_cast<char>(0xC0 | (byte >> 6));
      text += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return text;
}

std::string IsoUtcTime(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const auto milliseconds = floor<std::chrono::milliseconds>(time);
  const auto day = floor<days>(milliseconds);
  const year_month_day date(day);
  const hh_mm_ss clock(milliseconds - day);
  char text[32];
  std::snprintf(
      text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
      static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
      static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
  return text;
}

std::string SecondsText(uint32_t milliseconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", milliseconds / 1000.0);
  return text;
}

std::string CsvField(std::string_view text) {
  const bool quoted = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                      (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quoted)
    return std::string(text);
  std::string field = "\"";
  for (const char c : text) {
    if (c == '"')
      field += '"';
    field += c;
  }
  return field + '"';
}

std::string DecimalSeconds(uint32_t milliseconds) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", milliseconds / 1000.0);
  std::string shown = seconds;
  shown.erase(shown.find_last_not_of('0') + 1);
  if (shown.back() == '.')
    shown.pop_back();
  return shown;
}
