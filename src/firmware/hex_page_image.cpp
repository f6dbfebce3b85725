#include "firmware/hex_page_image.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {
constexpr std::size_t kRawChunk = 64 * 1024;

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
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

// Only the record decides: the image is left as far as it got.
bool ConvertRecords(HexLineReader& reader, std::vector<uint8_t>& image) {
  std::size_t highWater = kPageSize - 1;
  std::string_view line;
  if (!reader.Next(line))
    return false;  // empty file
  for (;;) {
    if (line[0] != ':')
      return false;
    int count = 0, high = 0, low = 0, type = 0;
    if (!ReadByteField(line, 1, count) || !ReadByteField(line, 3, high) ||
        !ReadByteField(line, 5, low) || !ReadByteField(line, 7, type)) {
      return false;
    }
    // The end-of-file record's own data and checksum are not looked at, nor anything after.
    if (type == 0x01)
      return true;
    if (type != 0x00)
      return false;
    const std::size_t address = static_cast<std::size_t>(high) * 256 + low;
    unsigned sum = static_cast<unsigned>(count + high + low + type);
    for (int k = 0; k < count; ++k) {
      int value = 0;
      if (!ReadByteField(line, 9 + 2 * static_cast<std::size_t>(k), value))
        return false;
      sum += static_cast<unsigned>(value);
      const std::size_t offset = address + static_cast<std::size_t>(k);
      if (offset > highWater) {
        highWater = (offset / kPageSize + 1) * kPageSize - 1;
        image.resize(highWater + 1, 0xFF);
      }
      image[offset] = static_cast<uint8_t>(value);
    }
    int checksum = 0;
    if (!ReadByteField(line, 9 + 2 * static_cast<std::size_t>(count), checksum))
      return false;
    if (((0x100 - (sum & 0xFF)) & 0xFF) != static_cast<unsigned>(checksum))
      return false;
    if (!reader.Next(line))
      return false;  // no end-of-file record
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
  std::size_t length = 0;
  while (length < kHexLineReadLimit) {
    int c = Get();
    if (c < 0)
      break;
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
  result.valid = ConvertRecords(reader, result.image);
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
