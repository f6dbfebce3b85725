#include "hex_diagnostic.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "firmware/hex_page_image.h"

namespace {
int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

std::string Shown(char c) {
  char text[16];
  if (c >= 0x21 && c < 0x7F)
    std::snprintf(text, sizeof text, "'%c'", c);
  else
    std::snprintf(text, sizeof text, "byte %02X", static_cast<unsigned char>(c));
  return text;
}

std::string Hex(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X", value & 0xFF);
  return text;
}

// The piece of a line as the reader gave it, without its line feed.
struct Piece {
  std::string_view text;
  bool cut;  // the reader stopped at its limit before the line's end
};

// Reads a two-digit field at `position`; on a problem sets `reason` and returns false.
bool ReadField(const Piece& piece, std::size_t position, const char* field, int& value,
               std::string& reason) {
  for (std::size_t i = position; i < position + 2; ++i) {
    if (i >= piece.text.size()) {
      reason = piece.cut ? "line too long: more than " + std::to_string(kHexLineReadLimit - 1) +
                               " characters before its line end"
                         : std::string("line ends inside the ") + field + " field";
      return false;
    }
    if (HexDigit(piece.text[i]) < 0) {
      reason = "not a hexadecimal digit in the " + std::string(field) +
               " field: " + Shown(piece.text[i]) + " at column " + std::to_string(i + 1);
      return false;
    }
  }
  value = HexDigit(piece.text[position]) * 16 + HexDigit(piece.text[position + 1]);
  return true;
}

// One record: true when the conversion goes on after it; `endOfFile` when it is the last.
bool CheckRecord(const Piece& piece, bool& endOfFile, std::string& reason) {
  if (piece.text.empty() || piece.text[0] != ':') {
    reason = piece.text.empty() ? "blank line, where a record starting with ':' was expected"
                                : "bad start code: " + Shown(piece.text[0]) + " instead of ':'";
    return false;
  }
  int count = 0, high = 0, low = 0, type = 0;
  if (!ReadField(piece, 1, "byte count", count, reason) ||
      !ReadField(piece, 3, "address", high, reason) ||
      !ReadField(piece, 5, "address", low, reason) ||
      !ReadField(piece, 7, "record type", type, reason)) {
    return false;
  }
  if (type == 0x01) {
    endOfFile = true;
    return true;
  }
  if (type != 0x00) {
    reason = "unsupported record type " + Hex(static_cast<unsigned>(type)) +
             " (only 00, data, and 01, end of file, are accepted)";
    return false;
  }
  unsigned sum = static_cast<unsigned>(count + high + low + type);
  for (int k = 0; k < count; ++k) {
    int value = 0;
    if (!ReadField(piece, 9 + 2 * static_cast<std::size_t>(k), "data", value, reason))
      return false;
    sum += static_cast<unsigned>(value);
  }
  int checksum = 0;
  if (!ReadField(piece, 9 + 2 * static_cast<std::size_t>(count), "checksum", checksum, reason))
    return false;
  const unsigned expected = (0x100 - (sum & 0xFF)) & 0xFF;
  if (expected != static_cast<unsigned>(checksum)) {
    reason =
        "checksum expected " + Hex(expected) + ", found " + Hex(static_cast<unsigned>(checksum));
    return false;
  }
  // The rest of an overlong line comes as the next piece, which cannot be a record.
  if (piece.cut) {
    reason = "line too long: more than " + std::to_string(kHexLineReadLimit - 1) +
             " characters before its line end";
    return false;
  }
  return true;
}

std::string Diagnose(HexLineReader& reader) {
  std::string_view raw;
  int lineNumber = 1;
  bool any = false;
  while (reader.Next(raw)) {
    any = true;
    const bool hasLineFeed = !raw.empty() && raw.back() == '\n';
    const Piece piece{hasLineFeed ? raw.substr(0, raw.size() - 1) : raw,
                      !hasLineFeed && raw.size() == kHexLineReadLimit};
    bool endOfFile = false;
    std::string reason;
    if (!CheckRecord(piece, endOfFile, reason))
      return "line " + std::to_string(lineNumber) + ": " + reason;
    if (endOfFile)
      return {};
    ++lineNumber;
  }
  if (!any)
    return "the file is empty: no records and no end-of-file record";
  return "missing end-of-file record: the file ends after line " + std::to_string(lineNumber - 1);
}
}  // namespace

std::string DiagnoseHexText(std::string_view text) {
  HexLineReader reader([&text](char* buffer, std::size_t capacity) {
    const std::size_t n = std::min(capacity, text.size());
    if (n != 0)
      std::memcpy(buffer, text.data(), n);
    text.remove_prefix(n);
    return n;
  });
  return Diagnose(reader);
}

std::string DiagnoseHexFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    return {};
  HexLineReader reader(
      [file](char* buffer, std::size_t capacity) { return std::fread(buffer, 1, capacity, file); });
  std::string diagnosis = Diagnose(reader);
  std::fclose(file);
  return diagnosis;
}
