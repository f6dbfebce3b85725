#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string_view>
#include <vector>

// Intel HEX (record types 00 and 01, 16-bit addresses) to the flat page image the boot
// loader is sent: byte A of the image is the firmware byte for address A, gaps are 0xFF,
// page 0 is always there, and the image ends with the page that holds the highest address
// written. Pure: no dialog, no message boxes; BuildPageImage does those.

constexpr std::size_t kPageSize = 256;
// The boot loader transfer counts pages in one byte.
constexpr std::size_t kMaxPageImagePages = 255;
// One read of a record line takes at most this many characters, the newline included; a
// longer line comes back in pieces and the second piece is not a record.
constexpr std::size_t kHexLineReadLimit = 199;

// Reads a HEX file as the C runtime's text mode does on Windows: CR LF becomes one newline,
// and a read stops after a newline or after kHexLineReadLimit characters.
class HexLineReader {
 public:
  // `fill` copies up to `capacity` raw bytes into `buffer` and returns how many; 0 is the end.
  using Fill = std::function<std::size_t(char* buffer, std::size_t capacity)>;
  explicit HexLineReader(Fill fill);
  // The next piece of a line, newline included when it fits; false at the end of the file.
  bool Next(std::string_view& line);

 private:
  // The next raw byte, or -1 at the end.
  int Get();
  int Peek();
  bool Refill();

  Fill fill_;
  std::vector<char> raw_;
  std::size_t position_ = 0;
  std::size_t end_ = 0;
  bool exhausted_ = false;
  char line_[kHexLineReadLimit + 1] = {};
};

// Where and why a conversion stopped, so that a person can mend the file.
struct HexProblem {
  enum class Kind {
    kNone,
    kEmptyFile,        // no line at all
    kBlankLine,        // where a record was expected
    kBadStartCode,     // the first character is not ":"
    kLineEndsInField,  // the line ends inside `field`
    kNotHexDigit,      // `character` at `column` inside `field`
    kLineTooLong,      // longer than one read of kHexLineReadLimit characters
    kUnsupportedType,  // record type `found`
    kChecksum,         // the record's bytes add up to `expected`, its checksum is `found`
    kNoEndOfFile,      // the file ends after line `line` without an end-of-file record
  };
  Kind kind = Kind::kNone;
  std::size_t line = 0;    // 1-based; a line too long for one read still counts as one
  std::size_t column = 0;  // 1-based
  char character = 0;
  const char* field = "";  // "byte count", "address", "record type", "data" or "checksum"
  unsigned expected = 0;
  unsigned found = 0;
};

struct PageImageResult {
  // False when the file is not a valid HEX file: a record that does not start with ":", a
  // field that is not two hexadecimal digits inside the line, a record type other than 00
  // and 01, a checksum mismatch, or no end-of-file record.
  bool valid = false;
  // The image as far as it was built; whole pages, page 0 always present.
  std::vector<uint8_t> image;
  // Why it is not valid.
  HexProblem problem;
  std::size_t PageCount() const { return image.size() / kPageSize; }
};

PageImageResult ConvertHexToPageImage(HexLineReader& reader);
// Whole file contents in memory (tests and fuzzing).
PageImageResult ConvertHexTextToPageImage(std::string_view text);
// An open file, read from its current position.
PageImageResult ConvertHexFileToPageImage(std::FILE* file);
