// Any bytes as a HEX file: the converter must not crash, must always give whole pages with
// page 0 present, and must agree with a second, deliberately plain reading of the records.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/hex_page_image.h"
#include "fuzz_check.h"

namespace {

struct Reference {
  bool valid = false;
  std::vector<uint8_t> image;
};

int Nibble(char c) {
  const std::string_view digits = "0123456789ABCDEF";
  const std::string_view lower = "0123456789abcdef";
  if (auto i = digits.find(c); i != std::string_view::npos)
    return static_cast<int>(i);
  if (auto i = lower.find(c); i != std::string_view::npos)
    return static_cast<int>(i);
  return -1;
}

// The two hexadecimal digits at `at`, or -1.
int FieldAt(const std::string& piece, std::size_t at) {
  if (at + 1 >= piece.size())
    return -1;
  const int high = Nibble(piece[at]);
  const int low = Nibble(piece[at + 1]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// The file as the program reads it in text mode: CR LF is one newline, and one read takes at
// most 199 characters, so a longer line arrives in pieces.
std::vector<std::string> Pieces(std::string_view raw) {
  std::string text;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
      continue;
    text.push_back(raw[i]);
  }
  std::vector<std::string> pieces;
  std::string piece;
  for (char c : text) {
    piece.push_back(c);
    if (c == '\n' || piece.size() == 199) {
      pieces.push_back(piece);
      piece.clear();
    }
  }
  if (!piece.empty())
    pieces.push_back(piece);
  return pieces;
}

// Collects every byte by address (later records win), then lays the image out at the end.
Reference Convert(std::string_view raw) {
  Reference result;
  std::map<std::size_t, uint8_t> bytes;
  for (const std::string& piece : Pieces(raw)) {
    if (piece[0] != ':')
      break;
    const int count = FieldAt(piece, 1), high = FieldAt(piece, 3), low = FieldAt(piece, 5);
    const int type = FieldAt(piece, 7);
    if (count < 0 || high < 0 || low < 0 || type < 0)
      break;
    if (type == 1) {
      result.valid = true;
      break;
    }
    if (type != 0)
      break;
    int sum = count + high + low;
    bool fieldsOk = true;
    std::vector<std::pair<std::size_t, uint8_t>> record;
    for (int k = 0; k < count && fieldsOk; ++k) {
      const int value = FieldAt(piece, 9 + 2 * static_cast<std::size_t>(k));
      fieldsOk = value >= 0;
      sum += value;
      record.emplace_back(static_cast<std::size_t>(high * 256 + low + k),
                          static_cast<uint8_t>(value));
    }
    const int checksum = FieldAt(piece, 9 + 2 * static_cast<std::size_t>(count));
    if (!fieldsOk || checksum < 0 || (256 - sum % 256) % 256 != checksum)
      break;
    for (const auto& [address, value] : record) bytes[address] = value;
  }
  const std::size_t last = bytes.empty() ? 0 : bytes.rbegin()->first;
  result.image.assign((last / 256 + 1) * 256, 0xFF);
  for (const auto& [address, value] : bytes) result.image[address] = value;
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const PageImageResult converted = ConvertHexTextToPageImage(text);
  FUZZ_CHECK(converted.image.size() >= kPageSize, "page 0 is always there");
  FUZZ_CHECK(converted.image.size() % kPageSize == 0, "the image is whole pages");
  // 16-bit addresses plus at most 255 bytes of one record.
  FUZZ_CHECK(converted.image.size() <= 0x10000 + kPageSize, "the image stays addressable");

  const Reference expected = Convert(text);
  FUZZ_CHECK(converted.valid == expected.valid, "valid exactly when the records are");
  if (converted.valid)
    FUZZ_CHECK(converted.image == expected.image, "every byte at its address, gaps 0xFF");
  return 0;
}
