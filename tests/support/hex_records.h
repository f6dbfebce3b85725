#pragma once
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

// Intel HEX records for tests, and a seeded generator of whole HEX files.

// One record line without its line end: ":" count, address, type, data, checksum.
inline std::string HexRecord(unsigned address, const std::vector<uint8_t>& data, unsigned type = 0,
                             bool lowerCase = false) {
  std::vector<uint8_t> fields = {static_cast<uint8_t>(data.size()),
                                 static_cast<uint8_t>(address >> 8),
                                 static_cast<uint8_t>(address & 0xFF), static_cast<uint8_t>(type)};
  fields.insert(fields.end(), data.begin(), data.end());
  unsigned sum = 0;
  for (uint8_t b : fields) sum += b;
  fields.push_back(static_cast<uint8_t>(0x100 - (sum & 0xFF)));
  const char* digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
  std::string line = ":";
  for (uint8_t b : fields) {
    line += digits[b >> 4];
    line += digits[b & 0x0F];
  }
  return line;
}

inline std::string HexEndOfFile() {
  return ":00000001FF";
}

// Small, fully specified generator (xorshift64*), so a seed gives the same corpus on every
// machine and standard library.
class CorpusRandom {
 public:
  explicit CorpusRandom(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint64_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1Dull;
  }
  // Uniform enough in [low, high].
  unsigned Between(unsigned low, unsigned high) {
    return low + static_cast<unsigned>(Next() % (static_cast<uint64_t>(high) - low + 1));
  }
  bool OneIn(unsigned n) { return Between(1, n) == 1; }

 private:
  uint64_t state_;
};

struct GeneratedHexFile {
  std::string text;
  // The highest address any record wrote, -1 when none did.
  long highestAddress = -1;
};

// A valid HEX file: data records of 0 to 93 bytes at random, clustered or scattered
// addresses, gaps and overlaps, upper- or lower-case digits, LF or CR LF line ends, and in
// some files data reaching the last address 0xFFFF. No record runs past 0xFFFF.
inline GeneratedHexFile GenerateHexFile(uint64_t seed) {
  CorpusRandom random(seed);
  GeneratedHexFile file;
  const bool crlf = random.OneIn(2);
  const int caseMode = static_cast<int>(random.Between(0, 2));  // upper, lower, mixed
  const unsigned records = random.Between(1, 80);
  unsigned next = random.OneIn(3) ? 0 : random.Between(0, 0xFFFF);
  const bool reachEnd = random.OneIn(4);
  std::vector<std::string> lines;
  for (unsigned r = 0; r < records; ++r) {
    unsigned size = random.OneIn(20) ? 0 : random.Between(1, 93);
    unsigned address;
    const unsigned mode = random.Between(0, 9);
    if (mode < 6) {
      address = next;  // contiguous
    } else if (mode < 8) {
      address = next + random.Between(1, 3000);  // a gap
    } else if (mode < 9) {
      address = next > 200 ? next - random.Between(1, 200) : 0;  // overlap an earlier record
    } else {
      address = random.Between(0, 0xFFFF);  // anywhere
    }
    if (address > 0xFFFF)
      address = random.Between(0, 0xFFFF);
    if (address + size > 0x10000)
      size = 0x10000 - address;
    std::vector<uint8_t> data(size);
    for (auto& b : data) b = static_cast<uint8_t>(random.Next() >> 56);
    const bool lower = caseMode == 1 || (caseMode == 2 && random.OneIn(2));
    lines.push_back(HexRecord(address, data, 0, lower));
    if (size > 0)
      file.highestAddress = std::max<long>(file.highestAddress, address + size - 1);
    next = address + size;
  }
  if (reachEnd) {
    const unsigned size = random.Between(1, 16);
    std::vector<uint8_t> data(size);
    for (auto& b : data) b = static_cast<uint8_t>(random.Next() >> 56);
    lines.push_back(HexRecord(0x10000 - size, data, 0, caseMode == 1));
    file.highestAddress = 0xFFFF;
  }
  lines.push_back(HexEndOfFile());
  for (const auto& line : lines) file.text += line + (crlf ? "\r\n" : "\n");
  return file;
}
