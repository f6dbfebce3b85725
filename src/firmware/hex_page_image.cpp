#include "firmware/hex_page_image.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace {
constexpr std::size_t kRawChunk = 64 * 1024;

// The value of every character as a hexadecimal digit, -1 for anything else: one look-up
// per character, as a 255-page file has some 130,000 digits.
constexpr std::array<int8_t, 256> MakeDigitTable() {
  std::array<int8_t, 256> table{};
  for (int c = 0; c < 256; ++c) {
    table[static_cast<std::size_t>(c)] = static_cast<int8_t>(c >= '0' && c <= '9'   ? c - '0'
                                                             : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                             : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                                                    : -1);
  }
  return table;
}
constexpr std::array<int8_t, 256> kDigitValue = MakeDigitTable();

int HexDigit(char c) {
  return kDigitValue[static_cast<unsigned char>(c)];
}

// Two hexadecimal digits at `position`; false when the line ends first or a character is
// not a hexadecimal digit (the newline, a blank and NUL included).
bool ReadByteField(std::string_view line, std::size_t position, int& value) {
  if (position + 2 > line.size())
    return false;
  const int high = HexDigit(line[position]);
  const int low = HexDigit(line[position + 1]);
  if (high < 0 || low < 0)
    return false;
  value = high * 16 + low;
  return true;
}

// The `count` data bytes of a record into `data`, added to `sum`; false (with `sum` and
// `data` of no use) when the line is too short or a character is not a hexadecimal digit.
bool DecodeData(std::string_view line, int count, uint8_t* data, unsigned& sum) {
  if (9 + 2 * static_cast<std::size_t>(count) > line.size())
    return false;
  const char* digits = line.data() + 9;
  int bad = 0;  // negative once any character was not a digit
  unsigned added = 0;
  for (int k = 0; k < count; ++k) {
    const int high = HexDigit(digits[2 * k]);
    const int low = HexDigit(digits[2 * k + 1]);
    bad |= high | low;
    data[k] = static_cast<uint8_t>((high & 0x0F) << 4 | (low & 0x0F));
    added += data[k];
  }
  sum += added;
  return bad >= 0;
}

// What is wrong with the two-digit field at `position` that ReadByteField refused.
HexProblem FieldProblem(std::string_view line, std::size_t position, const char* field, bool cut) {
  HexProblem problem;
  problem.field = field;
  for (std::size_t i = position; i < position + 2; ++i) {
    if (i >= line.size() || line[i] == '\n') {
      problem.kind = cut ? HexProblem::Kind::kLineTooLong : HexProblem::Kind::kLineEndsInField;
      return problem;
    }
    if (HexDigit(line[i]) < 0) {
      problem.kind = HexProblem::Kind::kNotHexDigit;
      problem.column = i + 1;
      problem.character = line[i];
      return problem;
    }
  }
  return problem;
}

// Only the record decides: the image is left as far as it got.
bool ConvertRecords(HexLineReader& reader, std::vector<uint8_t>& image, HexProblem& problem) {
  std::size_t highWater = kPageSize - 1;
  std::string_view line;
  std::size_t lineNumber = 0;
  // The piece is the rest of a line longer than one read: whatever stops the conversion
  // there, the line was too long.
  bool continuation = false;
  auto stop = [&](HexProblem found) {
    problem = continuation ? HexProblem{HexProblem::Kind::kLineTooLong} : found;
    problem.line = lineNumber;
    return false;
  };
  if (!reader.Next(line)) {
    problem.kind = HexProblem::Kind::kEmptyFile;
    return false;
  }
  for (;;) {
    if (!continuation)
      ++lineNumber;
    const bool cut = line.size() == kHexLineReadLimit && line.back() != '\n';
    if (line[0] != ':') {
      HexProblem found{line[0] == '\n' ? HexProblem::Kind::kBlankLine
                                       : HexProblem::Kind::kBadStartCode};
      found.column = 1;
      found.character = line[0];
      return stop(found);
    }
    int count = 0, high = 0, low = 0, type = 0;
    if (!ReadByteField(line, 1, count))
      return stop(FieldProblem(line, 1, "byte count", cut));
    if (!ReadByteField(line, 3, high))
      return stop(FieldProblem(line, 3, "address", cut));
    if (!ReadByteField(line, 5, low))
      return stop(FieldProblem(line, 5, "address", cut));
    if (!ReadByteField(line, 7, type))
      return stop(FieldProblem(line, 7, "record type", cut));
    // The end-of-file record's own data and checksum are not looked at, nor anything after.
    if (type == 0x01)
      return true;
    if (type != 0x00) {
      HexProblem found{HexProblem::Kind::kUnsupportedType};
      found.found = static_cast<unsigned>(type);
      return stop(found);
    }
    const std::size_t address = static_cast<std::size_t>(high) * 256 + low;
    unsigned sum = static_cast<unsigned>(count + high + low + type);
    uint8_t data[255];
    if (DecodeData(line, count, data, sum)) {
      // The usual case: every data digit is there and valid, so the image grows once.
      if (count > 0) {
        const std::size_t last = address + static_cast<std::size_t>(count) - 1;
        if (last > highWater) {
          highWater = (last / kPageSize + 1) * kPageSize - 1;
          image.resize(highWater + 1, 0xFF);
        }
        std::memcpy(image.data() + address, data, static_cast<std::size_t>(count));
      }
    } else {
      // A bad digit or a short line: byte by byte up to the failing one, which ends the
      // conversion.
      for (int k = 0; k < count; ++k) {
        int value = 0;
        const std::size_t position = 9 + 2 * static_cast<std::size_t>(k);
        if (!ReadByteField(line, position, value))
          return stop(FieldProblem(line, position, "data", cut));
        const std::size_t offset = address + static_cast<std::size_t>(k);
        if (offset > highWater) {
          highWater = (offset / kPageSize + 1) * kPageSize - 1;
          image.resize(highWater + 1, 0xFF);
        }
        image[offset] = static_cast<uint8_t>(value);
      }
    }
    int checksum = 0;
    const std::size_t checksumPosition = 9 + 2 * static_cast<std::size_t>(count);
    if (!ReadByteField(line, checksumPosition, checksum))
      return stop(FieldProblem(line, checksumPosition, "checksum", cut));
    const unsigned expected = (0x100 - (sum & 0xFF)) & 0xFF;
    if (expected != static_cast<unsigned>(checksum)) {
      HexProblem found{HexProblem::Kind::kChecksum};
      found.expected = expected;
      found.found = static_cast<unsigned>(checksum);
      return stop(found);
    }
    if (!reader.Next(line)) {
      problem.kind = HexProblem::Kind::kNoEndOfFile;
      problem.line = lineNumber;
      return false;
    }
    continuation = cut;
  }
}
}  // namespace

HexLineReader::HexLineReader(Fill fill) : fill_(std::move(fill)) {}

bool HexLineReader::Refill() {
  if (exhausted_)
    return false;
  if (raw_.empty())
    raw_.resize(kRawChunk);
  end_ = fill_(raw_.data(), raw_.size());
  position_ = 0;
  if (end_ == 0)
    exhausted_ = true;
  return end_ != 0;
}

int HexLineReader::Peek() {
  if (position_ == end_ && !Refill())
    return -1;
  return static_cast<unsigned char>(raw_[position_]);
}

int HexLineReader::Get() {
  const int c = Peek();
  if (c >= 0)
    ++position_;
  return c;
}

bool HexLineReader::Next(std::string_view& line) {
  // The usual line lies whole in the buffer and is short: hand it out where it is. A CR LF
  // at its end becomes the one newline in place (those characters are used up anyway).
  if (position_ == end_)
    Refill();
  if (position_ < end_) {
    char* start = raw_.data() + position_;
    const std::size_t window = std::min(end_ - position_, kHexLineReadLimit + 1);
    if (auto* newline = static_cast<char*>(std::memchr(start, '\n', window))) {
      char* last = newline;
      if (newline > start && newline[-1] == '\r') {
        last = newline - 1;
        *last = '\n';
      }
      const auto length = static_cast<std::size_t>(last - start) + 1;
      if (length <= kHexLineReadLimit) {
        position_ = static_cast<std::size_t>(newline - raw_.data()) + 1;
        line = std::string_view(start, length);
        return true;
      }
      if (last != newline)
        *last = '\r';  // too long after all: the general way below reads it
    }
  }
  std::size_t length = 0;
  while (length < kHexLineReadLimit) {
    if (position_ == end_ && !Refill())
      break;
    // Copy the run of ordinary characters straight from the buffer.
    const char* from = raw_.data() + position_;
    const std::size_t run = std::min(end_ - position_, kHexLineReadLimit - length);
    std::size_t n = 0;
    while (n < run && from[n] != '\r' && from[n] != '\n') {
      line_[length + n] = from[n];
      ++n;
    }
    length += n;
    position_ += n;
    if (n == run)
      continue;  // the buffer or the read is used up
    int c = Get();
    if (c == '\r' && Peek() == '\n')
      c = Get();
    line_[length++] = static_cast<char>(c);
    if (c == '\n')
      break;
  }
  line = std::string_view(line_, length);
  return length != 0;
}

PageImageResult ConvertHexToPageImage(HexLineReader& reader) {
  PageImageResult result;
  result.image.assign(kPageSize, 0xFF);
  result.valid = ConvertRecords(reader, result.image, result.problem);
  return result;
}

PageImageResult ConvertHexTextToPageImage(std::string_view text) {
  HexLineReader reader([&text](char* buffer, std::size_t capacity) {
    const std::size_t n = std::min(capacity, text.size());
    if (n != 0)
      std::memcpy(buffer, text.data(), n);
    text.remove_prefix(n);
    return n;
  });
  return ConvertHexToPageImage(reader);
}

PageImageResult ConvertHexFileToPageImage(std::FILE* file) {
  HexLineReader reader(
      [file](char* buffer, std::size_t capacity) { return std::fread(buffer, 1, capacity, file); });
  return ConvertHexToPageImage(reader);
}
