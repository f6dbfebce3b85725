#include "display_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "utf8_text.h"

namespace history {

namespace {

bool Escaped(char32_t c) {
  return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || (c >= 0x200B && c <= 0x200F) ||
         (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x2069) || c == 0xFEFF;
}

std::string Hex(const char* format, unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::size_t Width(char32_t c) {
  if ((c >= 0x0300 && c <= 0x036F) || (c >= 0x20D0 && c <= 0x20FF) ||
      (c >= 0xFE20 && c <= 0xFE2F)) {
    return 0;
  }
  const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                    (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                    (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                    (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
                    (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
  return wide ? 2 : 1;
}

// Whether a spreadsheet would take the text for a formula or a number (history_format.h).
bool SpreadsheetWouldConvert(std::string_view text) {
  const std::size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) {
    return false;
  }
  const std::string_view rest = text.substr(start);
  const auto digit = [&rest](std::size_t at) {
    return at < rest.size() && std::isdigit(static_cast<unsigned char>(rest[at]));
  };
  if (std::string_view("=+-@\t\r\n'").find(rest[0]) != std::string_view::npos || digit(0)) {
    return true;
  }
  if (std::string_view(".($").find(rest[0]) != std::string_view::npos && digit(1)) {
    return true;
  }
  std::string upper(rest);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper == "TRUE" || upper == "FALSE";
}

}  // namespace

std::string TerminalText(std::string_view text) {
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t start = at;
    char32_t c = 0;
    if (!NextCodePoint(text, at, c)) {
      out += Hex("\\x%02x", static_cast<unsigned char>(text[at++]));
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n' || c == '\r' || c == '\t') {
      out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
    } else if (Escaped(c)) {
      out += Hex(c < 0x100 ? "\\x%02x" : "\\u%04x", static_cast<unsigned>(c));
    } else {
      out.append(text.substr(start, at - start));
    }
  }
  return out;
}

std::size_t DisplayWidth(std::string_view text) {
  std::size_t width = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    char32_t c = 0;
    if (!NextCodePoint(text, at, c)) {
      ++at;
      ++width;
    } else {
      width += Width(c);
    }
  }
  return width;
}

std::string CutToWidth(const std::string& text, std::size_t width) {
  if (DisplayWidth(text) <= width) {
    return text;
  }
  std::string out;
  std::size_t used = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t start = at;
    char32_t c = 0;
    const std::size_t next = NextCodePoint(text, at, c) ? Width(c) : (++at, 1);
    if (used + next + 3 > width) {
      break;
    }
    used += next;
    out.append(text, start, at - start);
  }
  return out + "...";
}

std::string IsoUtc(int64_t epochMs) {
  const int64_t days = (epochMs >= 0 ? epochMs : epochMs - 86399999) / 86400000;
  const int64_t ms = epochMs - days * 86400000;
  // Days since 1970-01-01 to the civil date (proleptic Gregorian).
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  char text[96];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld.%03lldZ",
                static_cast<long long>(year), static_cast<long long>(month),
                static_cast<long long>(day), static_cast<long long>(ms / 3600000),
                static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                static_cast<long long>(ms % 1000));
  return text;
}

std::string CsvText(std::string_view text) {
  const std::string stored = StorableText(text);
  std::string out = "\"";
  if (SpreadsheetWouldConvert(stored)) {
    out += '\'';
  }
  for (char c : stored) {
    out += c;
    if (c == '"') {
      out += '"';
    }
  }
  return out + "\"";
}

std::string AlignedTable(const std::vector<std::string>& header,
                         const std::vector<std::vector<std::string>>& rows,
                         const std::vector<bool>& right) {
  std::vector<std::size_t> widths(header.size(), 0);
  const auto measure = [&widths](const std::vector<std::string>& row) {
    for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i) {
      widths[i] = std::max(widths[i], DisplayWidth(row[i]));
    }
  };
  measure(header);
  std::for_each(rows.begin(), rows.end(), measure);
  std::string out;
  const auto line = [&](const std::vector<std::string>& row) {
    std::string text;
    for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i) {
      const std::string pad(widths[i] - DisplayWidth(row[i]), ' ');
      text += (i ? "  " : "") + (right[i] ? pad + row[i] : row[i] + pad);
    }
    out += text.erase(text.find_last_not_of(' ') + 1) + "\n";
  };
  line(header);
  std::for_each(rows.begin(), rows.end(), line);
  return out;
}

}  // namespace history
