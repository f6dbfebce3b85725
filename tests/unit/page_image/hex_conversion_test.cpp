// The HEX file to page image conversion on its own: records, fields, line reads, bad input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "firmware/hex_page_image.h"
#include "hex_records.h"

namespace {
std::vector<uint8_t> Blank(std::size_t pages) {
  return std::vector<uint8_t>(pages * 256, 0xFF);
}

PageImageResult Convert(const std::vector<std::string>& lines, const std::string& end = "\n") {
  std::string text;
  for (const auto& line : lines) text += line + end;
  return ConvertHexTextToPageImage(text);
}

std::vector<uint8_t> Bytes(std::size_t count, uint8_t first = 0) {
  std::vector<uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(first + i);
  return bytes;
}
}  // namespace

TEST(HexConversion, EndOfFileRecordAloneGivesOneBlankPage) {
  const auto result = Convert({HexEndOfFile()});
  EXPECT_TRUE(result.valid);
  EXPECT_EQ(result.image, Blank(1));
}

TEST(HexConversion, SixteenBytesAtPageOne) {
  const auto data = Bytes(16, 0x40);
  const auto result = Convert({HexRecord(0x0100, data), HexEndOfFile()});
  ASSERT_TRUE(result.valid);
  auto expected = Blank(2);
  std::copy(data.begin(), data.end(), expected.begin() + 0x100);
  EXPECT_EQ(result.image, expected);
}

TEST(HexConversion, ImageEndsWithThePageOfTheHighestAddress) {
  EXPECT_EQ(Convert({HexRecord(0x01F0, Bytes(16)), HexEndOfFile()}).image.size(), 512u);
  EXPECT_EQ(Convert({HexRecord(0x01F1, Bytes(16)), HexEndOfFile()}).image.size(), 768u);
  // A lower record after a higher one does not shorten the image.
  EXPECT_EQ(Convert({HexRecord(0x0300, Bytes(1)), HexRecord(0x10, Bytes(1)), HexEndOfFile()})
                .image.size(),
            1024u);
}

TEST(HexConversion, GapsAreBlank) {
  const auto result =
      Convert({HexRecord(0x0000, Bytes(16, 1)), HexRecord(0x1000, Bytes(4, 0xA0)), HexEndOfFile()});
  ASSERT_TRUE(result.valid);
  ASSERT_EQ(result.image.size(), 0x1100u);
  for (std::size_t a = 0x10; a < 0x1000; ++a) ASSERT_EQ(result.image[a], 0xFF) << a;
  EXPECT_EQ(result.image[0x1000], 0xA0);
  EXPECT_EQ(result.image[0x1004], 0xFF);
}

TEST(HexConversion, LaterRecordsOverwriteEarlierOnes) {
  const auto result =
      Convert({HexRecord(0x0010, {1, 2, 3, 4}), HexRecord(0x0012, {9}), HexEndOfFile()});
  ASSERT_TRUE(result.valid);
  EXPECT_EQ(result.image[0x10], 1);
  EXPECT_EQ(result.image[0x11], 2);
  EXPECT_EQ(result.image[0x12], 9);
  EXPECT_EQ(result.image[0x13], 4);
}

TEST(HexConversion, LowerAndUpperCaseDigits) {
  const auto result = Convert(
      {HexRecord(0xABCD, {0xDE, 0xAD}, 0, true), HexRecord(0xABCF, {0xBE}), HexEndOfFile()});
  ASSERT_TRUE(result.valid);
  EXPECT_EQ(result.image[0xABCD], 0xDE);
  EXPECT_EQ(result.image[0xABCE], 0xAD);
  EXPECT_EQ(result.image[0xABCF], 0xBE);
}

TEST(HexConversion, CarriageReturnLineFeedEndings) {
  EXPECT_TRUE(Convert({HexRecord(0, Bytes(8)), HexEndOfFile()}, "\r\n").valid);
}

TEST(HexConversion, ZeroLengthDataRecordChangesNothing) {
  const auto result = Convert({HexRecord(0x0400, {}), HexEndOfFile()});
  ASSERT_TRUE(result.valid);
  EXPECT_EQ(result.image, Blank(1));
}

TEST(HexConversion, DataReachingTheLastAddress) {
  const auto result = Convert({HexRecord(0xFFFF, {0x5A}), HexEndOfFile()});
  ASSERT_TRUE(result.valid);
  EXPECT_EQ(result.PageCount(), 256u);
  EXPECT_EQ(result.image[0xFFFF], 0x5A);
}

TEST(HexConversion, DataRunningPastTheSixteenBitAddressesMakesTheImageLonger) {
  const auto result = Convert({HexRecord(0xFFF0, Bytes(32)), HexEndOfFile()});
  ASSERT_TRUE(result.valid);
  EXPECT_EQ(result.image.size(), 0x10100u);
  EXPECT_EQ(result.image[0x1000F], 31);
}

TEST(HexConversion, EndOfFileRecordIsNotExamined) {
  // Its own count, data and checksum do not matter, and nothing after it is read.
  EXPECT_TRUE(Convert({HexRecord(0, {1}), ":02000001AABB00"}).valid);
  EXPECT_TRUE(ConvertHexTextToPageImage(":00000001FF\nthis is not a record\n\x01\x02").valid);
  EXPECT_TRUE(ConvertHexTextToPageImage(":00000001FF").valid);  // no line end at all
}

// --- Invalid files -------------------------------------------------------------------------

TEST(HexConversion, EmptyFileIsInvalid) {
  EXPECT_FALSE(ConvertHexTextToPageImage("").valid);
}

TEST(HexConversion, NoEndOfFileRecordIsInvalid) {
  const auto result = Convert({HexRecord(0, Bytes(16))});
  EXPECT_FALSE(result.valid);
}

TEST(HexConversion, BlankLineOrLeadingBlankIsInvalid) {
  EXPECT_FALSE(Convert({HexRecord(0, Bytes(4)), "", HexEndOfFile()}).valid);
  EXPECT_FALSE(Convert({HexRecord(0, Bytes(4)), " " + HexEndOfFile()}).valid);
  EXPECT_FALSE(Convert({" " + HexRecord(0, Bytes(4)), HexEndOfFile()}).valid);
}

TEST(HexConversion, OtherRecordTypesAreInvalid) {
  for (unsigned type : {2u, 3u, 4u, 5u, 6u, 0xFFu}) {
    EXPECT_FALSE(Convert({HexRecord(0, {0, 0}, type), HexEndOfFile()}).valid) << type;
  }
}

TEST(HexConversion, ChecksumMismatchIsInvalid) {
  std::string line = HexRecord(0x20, Bytes(16));
  line.back() = line.back() == '0' ? '1' : '0';
  const auto result = Convert({line, HexEndOfFile()});
  EXPECT_FALSE(result.valid);
  // The record's bytes were placed before its checksum was read; the image is thrown away.
  EXPECT_EQ(result.image[0x21], 1);
}

TEST(HexConversion, LongestRecordThatFitsOneRead) {
  // 93 data bytes: 197 characters and the newline, or CR LF counted as one newline.
  const std::string line = HexRecord(0, Bytes(93));
  ASSERT_EQ(line.size(), 197u);
  EXPECT_TRUE(Convert({line, HexEndOfFile()}).valid);
  EXPECT_TRUE(Convert({line, HexEndOfFile()}, "\r\n").valid);
  // 198 characters and the newline are still one read.
  EXPECT_TRUE(Convert({line + " ", HexEndOfFile()}).valid);
}

TEST(HexConversion, LineLongerThanOneReadIsInvalid) {
  const std::string line = HexRecord(0, Bytes(94));  // 199 characters and the newline
  ASSERT_EQ(line.size(), 199u);
  EXPECT_FALSE(Convert({line, HexEndOfFile()}).valid);
  EXPECT_FALSE(Convert({HexRecord(0, Bytes(93)) + "  ", HexEndOfFile()}).valid);
  EXPECT_FALSE(Convert({HexRecord(0, Bytes(255)), HexEndOfFile()}).valid);
}

TEST(HexConversion, ReadsArePiecesOfAtMost199Characters) {
  // The reads, not the lines, are the records: a 199-character piece that is a valid record
  // with trailing text, followed by a piece that is the end-of-file record, is a valid file.
  std::string first = HexRecord(0, {0x42});
  first.resize(199, 'x');
  EXPECT_TRUE(ConvertHexTextToPageImage(first + HexEndOfFile() + "\n").valid);
  // And an end-of-file record with a long tail needs no second read.
  EXPECT_TRUE(ConvertHexTextToPageImage(HexEndOfFile() + std::string(500, 'x') + "\n").valid);
}

TEST(HexConversion, LineCutShortInsideAFieldIsInvalid) {
  const std::string full = HexRecord(0x1234, {1, 2, 3, 4});
  for (std::size_t length = 1; length < full.size(); ++length) {
    const std::string cut = full.substr(0, length);
    EXPECT_FALSE(Convert({cut, HexEndOfFile()}).valid) << cut;
    EXPECT_FALSE(ConvertHexTextToPageImage(cut).valid) << cut;
  }
  EXPECT_FALSE(Convert({":0000000", HexEndOfFile()}).valid);
  EXPECT_FALSE(ConvertHexTextToPageImage(":").valid);
}

TEST(HexConversion, NonHexadecimalCharactersInFieldsAreInvalid) {
  const std::string good = HexRecord(0x0010, {0xAB, 0xCD});
  for (std::size_t position = 1; position < good.size(); ++position) {
    for (char bad : {'G', 'g', ' ', '+', '-', 'x', ':', '\t', '\x80'}) {
      std::string line = good;
      line[position] = bad;
      EXPECT_FALSE(Convert({line, HexEndOfFile()}).valid) << line;
    }
  }
  EXPECT_FALSE(Convert({":0x000001FF"}).valid);
}

TEST(HexConversion, ByteCountRunningPastTheLineEndIsInvalid) {
  // Says 255 bytes, holds two.
  EXPECT_FALSE(Convert({":FF0000000102FE", HexEndOfFile()}).valid);
  EXPECT_FALSE(Convert({":10000000", HexEndOfFile()}).valid);
}

TEST(HexConversion, NulBytesAreInvalid) {
  std::string line = HexRecord(0, {1, 2, 3});
  for (std::size_t position = 0; position < line.size(); ++position) {
    std::string text = line + "\n" + HexEndOfFile() + "\n";
    text[position] = '\0';
    EXPECT_FALSE(ConvertHexTextToPageImage(text).valid) << position;
  }
  EXPECT_FALSE(ConvertHexTextToPageImage(std::string(1000, '\0')).valid);
}

TEST(HexConversion, LoneCarriageReturnsDoNotEndLines) {
  // Only LF (or CR LF) ends a read; records separated by CR alone run together.
  EXPECT_FALSE(ConvertHexTextToPageImage(HexRecord(0, {1}) + "\r" + HexEndOfFile() + "\r").valid);
}

TEST(HexConversion, TenMegabytesOfGarbage) {
  CorpusRandom random(20080208);
  std::string garbage(10 * 1024 * 1024, '\0');
  for (auto& c : garbage) c = static_cast<char>(random.Next() >> 56);
  garbage[0] = ':';  // make it look like a record at first
  EXPECT_FALSE(ConvertHexTextToPageImage(garbage).valid);
}

TEST(HexConversion, TenMegabytesOfRecordsWithoutAnEnd) {
  std::string text;
  const std::string line = HexRecord(0xFFC0, Bytes(93)) + "\r\n";
  while (text.size() < 10 * 1024 * 1024) text += line;
  const auto result = ConvertHexTextToPageImage(text);
  EXPECT_FALSE(result.valid);
  EXPECT_EQ(result.image.size(), 0x10100u);  // bounded by the 16-bit addresses
}

TEST(HexConversion, TenMegabytesInOneLine) {
  EXPECT_FALSE(ConvertHexTextToPageImage(":" + std::string(10 * 1024 * 1024, '0')).valid);
  EXPECT_FALSE(ConvertHexTextToPageImage(std::string(10 * 1024 * 1024, '\n')).valid);
}

TEST(HexConversion, ReaderSplitsAcrossChunks) {
  // More than one 64 KiB chunk with CR LF pairs straddling chunk ends.
  std::string text;
  unsigned address = 0;
  std::vector<uint8_t> expected = Blank(1);
  while (text.size() < 200 * 1024) {
    const auto data = Bytes(7, static_cast<uint8_t>(address));
    text += HexRecord(address & 0xFFFF, data) + "\r\n";
    for (std::size_t k = 0; k < data.size(); ++k) {
      const std::size_t offset = (address & 0xFFFF) + k;
      if (offset >= expected.size())
        expected.resize((offset / 256 + 1) * 256, 0xFF);
      expected[offset] = data[k];
    }
    address += 7;
  }
  text += HexEndOfFile() + "\r\n";
  const auto result = ConvertHexTextToPageImage(text);
  ASSERT_TRUE(result.valid);
  EXPECT_EQ(result.image, expected);
}
