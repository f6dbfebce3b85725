#include "hex_diagnostic.h"

#include <cstdio>

#include "firmware/hex_page_image.h"

namespace {
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

}  // namespace

std::string DescribeHexProblem(const HexProblem& problem) {
  using Kind = HexProblem::Kind;
  const std::string at = "line " + std::to_string(problem.line) + ": ";
  const std::string field = problem.field;
  switch (problem.kind) {
    case Kind::kNone:
      return {};
    case Kind::kEmptyFile:
      return "the file is empty: no records and no end-of-file record";
    case Kind::kNoEndOfFile:
      return "missing end-of-file record: the file ends after line " + std::to_string(problem.line);
    case Kind::kBlankLine:
      return at + "blank line, where a record starting with ':' was expected";
    case Kind::kBadStartCode:
      return at + "bad start code: " + Shown(problem.character) + " instead of ':'";
    case Kind::kLineEndsInField:
      return at + "line ends inside the " + field + " field";
    case Kind::kNotHexDigit:
      return at + "not a hexadecimal digit in the " + field +
             " field: " + Shown(problem.character) + " at column " + std::to_string(problem.column);
    case Kind::kLineTooLong:
      return at + "line too long: more than " + std::to_string(kHexLineReadLimit - 1) +
             " characters before its line end";
    case Kind::kUnsupportedType:
      return at + "unsupported record type " + Hex(problem.found) +
             " (only 00, data, and 01, end of file, are accepted)";
    case Kind::kChecksum:
      return at + "checksum expected " + Hex(problem.expected) + ", found " + Hex(problem.found);
  }
  return {};
}

std::string DiagnoseHexText(std::string_view text) {
  return DescribeHexProblem(ConvertHexTextToPageImage(text).problem);
}
