#include "hex_diagnostic.h"

#include <gtest/gtest.h>

#include "firmware/hex_page_image.h"

namespace {
constexpr const char kData[] = ":0400100001020304E2\r\n";  // 4 bytes at 0x0010
constexpr const char kEnd[] = ":00000001FF\r\n";

// Every case also asks the conversion itself: the diagnosis must name a problem exactly when
// the conversion refuses the file, or it would explain something that is not so.
TEST(HexDiagnostic, NamesTheLineAndTheReasonTheConversionStopsAt) {
  const std::string longData = ":5E000000" + std::string(2 * 0x5E, '0') + "A2\n";  // 94 bytes
  const std::pair<std::string, std::string> cases[] = {
      {std::string(kData) + kEnd, ""},
      {kEnd, ""},
      // Nothing after the end-of-file record is read.
      {std::string(kData) + ":00000001FF garbage\r\n#!\n", ""},
      {std::string(kData) + kEnd + "rubbish", ""},
      {"", "the file is empty: no records and no end-of-file record"},
      {kData, "missing end-of-file record: the file ends after line 1"},
      {std::string(kData) + "\r\n" + kEnd,
       "line 2: blank line, where a record starting with ':' was expected"},
      {std::string(kData) + " " + kEnd, "line 2: bad start code: byte 20 instead of ':'"},
      {std::string(kData) + ";00000001FF\n", "line 2: bad start code: ';' instead of ':'"},
      {":0400100001020304E3\n" + std::string(kEnd), "line 1: checksum expected E2, found E3"},
      {":020000040000FA\n" + std::string(kEnd),
       "line 1: unsupported record type 04 (only 00, data, and 01, end of file, are accepted)"},
      {":04001000010203\n", "line 1: line ends inside the data field"},
      {":0400100001020304\n", "line 1: line ends inside the checksum field"},
      {":04001000010G0304E2\n",
       "line 1: not a hexadecimal digit in the data field: 'G' at column 13"},
      {":0Z00100001020304E2\n",
       "line 1: not a hexadecimal digit in the byte count field: 'Z' at column 3"},
      {longData + kEnd, "line 1: line too long: more than 198 characters before its line end"},
      // A long record whose checksum still fits is whole, but the rest of the line is not.
      {":0400100001020304E2" + std::string(190, ' ') + "\n" + kEnd,
       "line 1: line too long: more than 198 characters before its line end"},
      // Lower-case digits are as good as upper-case ones.
      {":0400100001020a0bd4\n" + std::string(kEnd), ""},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text.substr(0, 60));
    EXPECT_EQ(DiagnoseHexText(text), expected);
    EXPECT_EQ(ConvertHexTextToPageImage(text).valid, expected.empty());
  }
}

TEST(HexDiagnostic, CountsLinesEndedByCarriageReturnAndLineFeedOnce) {
  std::string text;
  for (int i = 0; i < 5; ++i) text += kData;
  text += ":0400100001020304E1\r\n";
  EXPECT_EQ(DiagnoseHexText(text), "line 6: checksum expected E2, found E1");
}
}  // namespace
